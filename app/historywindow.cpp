#include "app/historywindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "app/historypage.h"
#include "app/retranslate.h"
#include "config/uisettings.h"

HistoryWindow *HistoryWindow::open(QWidget *owner, RecordMaker *recordMaker, const HistoryPage *from)
{
    auto *window = owner->findChild<HistoryWindow *>(QString(), Qt::FindDirectChildrenOnly);
    if (!window)
        window = new HistoryWindow(owner, recordMaker);
    // Closed, it is only hidden: opened again, it starts from the tab anew.
    if (!window->isVisible() && from)
        window->history->showAs(*from);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

HistoryWindow::HistoryWindow(QWidget *owner, RecordMaker *recordMaker)
    : QWidget(owner, Qt::Window), history(new HistoryPage(recordMaker, this))
{
    setObjectName(QStringLiteral("historyWindow"));
    Retranslate::follow(this, "windowTitle", [] { return HistoryPage::title(); });
    history->offerNewWindow(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(history);
    place(owner);
    owner->installEventFilter(this);
}

// Where it was last, if that is still on a screen; else over the owner.
void HistoryWindow::place(QWidget *owner)
{
    const QRect kept = settings::storedHistoryWindow();
    for (const QScreen *screen : QGuiApplication::screens())
        if (!kept.isEmpty() && screen->availableGeometry().intersects(kept)) {
            resize(kept.size());
            move(kept.topLeft());
            return;
        }
    // Over the owner, within the screen it is on.
    const QScreen *screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect free = screen->availableGeometry();
    QRect area(QPoint(), QSize(900, 600).boundedTo(free.size()));
    area.moveCenter(owner->isVisible() ? owner->frameGeometry().center() : free.center());
    area.moveLeft(qBound(free.left(), area.left(), free.right() - area.width() + 1));
    area.moveTop(qBound(free.top(), area.top(), free.bottom() - area.height() + 1));
    resize(area.size());
    move(area.topLeft());
}

void HistoryWindow::closeEvent(QCloseEvent *event)
{
    settings::storeHistoryWindow(QRect(pos(), size()));
    QWidget::closeEvent(event);
}

bool HistoryWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && event->type() == QEvent::Close)
        close();
    return QWidget::eventFilter(watched, event);
}
