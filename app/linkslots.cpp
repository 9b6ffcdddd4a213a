#include "app/mainwindow.h"

#include <QCoreApplication>

#include "lane/lanesession.h"
#include "net/meterlink.h"

// The link to the meter on the form: the status in the header and the grey
// look of values that are no longer live.

namespace {

// Texts of the form pass through the form's own translation context.
QString text(const char *source)
{
    return QCoreApplication::translate("mainwindowClass", source);
}

} // namespace

void mainwindow::watchLink()
{
    link = meterLink->keeper();
    session->watchLink(link);
    connect(session, &LaneSession::linkChanged, this, &mainwindow::showLinkState);
    connect(link, &LinkKeeper::staleChanged, this, &mainwindow::showValuesStale);
}

void mainwindow::showLinkState(LinkKeeper::State state, const QString &address)
{
    linkState = state;
    linkAddress = address;
    showLinkText();
}

void mainwindow::showLinkText()
{
    switch (linkState) {
    case LinkKeeper::State::Connecting:
        ui.label_link->setText(text(QT_TRANSLATE_NOOP("mainwindowClass", "正在连接")));
        break;
    case LinkKeeper::State::Connected:
        ui.label_link->setText(text(QT_TRANSLATE_NOOP("mainwindowClass", "已连接 %1")).arg(linkAddress));
        break;
    case LinkKeeper::State::Looking:
        ui.label_link->setText(text(QT_TRANSLATE_NOOP("mainwindowClass", "正在查找仪表")));
        break;
    case LinkKeeper::State::Retrying:
        ui.label_link->setText(text(QT_TRANSLATE_NOOP("mainwindowClass", "连接中断，正在重连")));
        break;
    }
}

void mainwindow::showValuesStale(bool stale)
{
    // Disabled labels keep their text and frame and are drawn grey.
    for (QLabel *label : {ui.label_Nt, ui.label_Nst, ui.label_Kt, ui.label_Nmax, ui.label_Nsmax,
                          ui.label_Kmax, ui.label_airroomt, ui.label_smoket, ui.label_Ad})
        label->setEnabled(!stale);
}
