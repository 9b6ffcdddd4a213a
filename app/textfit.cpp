#include "app/textfit.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QPushButton>

#include "report/typeface.h"

namespace TextFit {

void scaleWithScreen()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#if QT_VERSION >= QT_VERSION_CHECK(5, 14, 0)
    // Rounded, 150 % would draw the form at 200 %, larger than the screen's
    // other windows.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#endif
}

QString formFamily()
{
    return Typeface::formFamily();
}

void useFormFamily()
{
    Typeface::mapFormFamily();
    QFont font = QApplication::font();
    font.setFamily(formFamily());
    QApplication::setFont(font);
}

// Where the box grows from along one axis: the aligned edge stays, a centred
// text keeps its centre.
static int grownStart(int start, int growth, bool fromEnd, bool centred)
{
    if (centred)
        return start - growth / 2;
    return fromEnd ? start - growth : start;
}

static QRect grown(const QRect &box, const QSize &hint, Qt::Alignment align)
{
    const int dw = qMax(0, hint.width() - box.width());
    const int dh = qMax(0, hint.height() - box.height());
    const int x = grownStart(box.x(), dw, align & Qt::AlignRight, align & Qt::AlignHCenter);
    const int y = grownStart(box.y(), dh, align & Qt::AlignBottom, align & Qt::AlignVCenter);
    return QRect(x, y, box.width() + dw, box.height() + dh);
}

// Whether 'to' would cover a neighbour that 'from' leaves alone.
static bool coversNeighbour(QWidget *w, const QRect &from, const QRect &to)
{
    for (QObject *o : w->parent()->children()) {
        auto *other = qobject_cast<QWidget *>(o);
        if (other && other != w && !other->isHidden() && to.intersects(other->geometry())
            && !from.intersects(other->geometry()))
            return true;
    }
    return false;
}

static void fit(QWidget *w, Qt::Alignment align)
{
    // A layout places its widgets itself, and gives them their size hint.
    if (w->parentWidget() && w->parentWidget()->layout())
        return;
    // Each fit starts from the form's box and type size, so that a text
    // changed since (another language) is fitted afresh.
    const QVariant formBox = w->property("formBox");
    if (!formBox.isValid())
        w->setProperty("formBox", w->geometry());
    else
        w->setGeometry(formBox.toRect());
    const QVariant formSize = w->property("formPointSize");
    if (formSize.isValid()) {
        QFont font = w->font();
        font.setPointSizeF(formSize.toReal());
        w->setFont(font);
    }
    const QRect box = w->geometry();
    QRect to = grown(box, w->sizeHint(), align);
    // A text that would run into its neighbour is set smaller instead.
    if (to.width() > box.width() && coversNeighbour(w, box, to)) {
        if (!formSize.isValid())
            w->setProperty("formPointSize", w->font().pointSizeF());
        QFont font = w->font();
        while (coversNeighbour(w, box, grown(box, w->sizeHint(), align)) && font.pointSizeF() > 7) {
            font.setPointSizeF(font.pointSizeF() - 0.5);
            w->setFont(font);
        }
        to = grown(box, w->sizeHint(), align);
    }
    w->setGeometry(to);
}

static bool onPageOf(const QWidget *w, const QList<QWidget *> &pages)
{
    for (const QWidget *page : pages)
        if (page->isAncestorOf(w))
            return true;
    return false;
}

void growToFit(QWidget *root, const QList<QWidget *> &later)
{
    for (QLabel *label : root->findChildren<QLabel *>()) {
        if (!label->text().isEmpty() && !onPageOf(label, later))
            fit(label, label->alignment());
    }
    for (QPushButton *button : root->findChildren<QPushButton *>())
        if (!onPageOf(button, later))
            fit(button, Qt::AlignCenter);
}

} // namespace TextFit
