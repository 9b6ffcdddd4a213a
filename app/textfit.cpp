#include "app/textfit.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QPushButton>

namespace TextFit {

QString formFamily()
{
    return QStringLiteral("思源黑体");
}

QStringList mapFormFamily(const QStringList &knownFamilies)
{
    if (knownFamilies.contains(formFamily()))
        return {};
    // Adobe's names first (the current release, then the first one), then
    // Google's build of the same design, which Debian ships as fonts-noto-cjk.
    static const char *const otherNames[] = {"Source Han Sans SC", "Source Han Sans CN",
                                             "Noto Sans CJK SC"};
    QStringList found;
    for (const char *name : otherNames) {
        if (knownFamilies.contains(QLatin1String(name)))
            found << QLatin1String(name);
    }
    if (!found.isEmpty())
        QFont::insertSubstitutions(formFamily(), found);
    return found;
}

void useFormFamily(const QStringList &knownFamilies)
{
    mapFormFamily(knownFamilies);
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

static void grow(QWidget *w, Qt::Alignment align)
{
    // A layout places its widgets itself, and gives them their size hint.
    if (w->parentWidget() && w->parentWidget()->layout())
        return;
    const QSize hint = w->sizeHint();
    const QRect box = w->geometry();
    const int dw = qMax(0, hint.width() - box.width());
    const int dh = qMax(0, hint.height() - box.height());
    if (dw == 0 && dh == 0)
        return;
    const int x = grownStart(box.x(), dw, align & Qt::AlignRight, align & Qt::AlignHCenter);
    const int y = grownStart(box.y(), dh, align & Qt::AlignBottom, align & Qt::AlignVCenter);
    w->setGeometry(x, y, box.width() + dw, box.height() + dh);
}

void growToFit(QWidget *root)
{
    for (QLabel *label : root->findChildren<QLabel *>()) {
        if (!label->text().isEmpty())
            grow(label, label->alignment());
    }
    for (QPushButton *button : root->findChildren<QPushButton *>())
        grow(button, Qt::AlignCenter);
}

} // namespace TextFit
