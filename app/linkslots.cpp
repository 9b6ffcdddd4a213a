#include "app/mainwindow.h"

#include <QCoreApplication>

#include "lane/lanesession.h"
#include "net/meterlink.h"

// The link to the meter on the form: the status in the header, what the
// sweeps found elsewhere, the frames dropped for a wrong checksum (the
// header strip's tooltip) and the grey look of values that are no longer live.

namespace {

// Texts of the form pass through the form's own translation context.
QString text(const char *source)
{
    return QCoreApplication::translate("mainwindowClass", source);
}

} // namespace

void mainwindow::watchLink()
{
    linkKeeper = meterLink->keeper();
    connect(session, &LaneSession::linkChanged, this, &mainwindow::showLinkState);
    connect(linkKeeper, &LinkKeeper::staleChanged, this, &mainwindow::showValuesStale);
    const auto showAgain = [this] {
        showLinkText();
        placeHeaderLabels();
    };
    connect(linkKeeper, &LinkKeeper::metersElsewhere, this, showAgain);
    connect(linkKeeper, &LinkKeeper::problemChanged, this, showAgain);
    connect(meterLink, &MeterLink::framesDropped, this, showAgain);
}

void mainwindow::showLinkState(LinkKeeper::State state, const QString &address)
{
    linkState = state;
    linkAddress = address;
    showLinkText();
}

void mainwindow::showLinkText()
{
    ui.label_link->setWordWrap(false);
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
    showElsewhere();
    // A serial port that will not open says why, beside the state.
    if (const QString problem = linkKeeper ? linkKeeper->problem() : QString(); !problem.isEmpty()) {
        ui.label_link->setWordWrap(true);
        ui.label_link->setText(tr("%1：%2").arg(ui.label_link->text(), problem));
    }
    const int dropped = meterLink->droppedFrames();
    ui.frame->setToolTip(dropped == 0 ? QString()
                                      : tr("校验和错误：已丢弃 %1 帧仪表数据").arg(dropped));
}

// While this lane's meter is not reached, a meter that answers elsewhere is
// named in its place: never taken by itself, it is the operator's to choose.
void mainwindow::showElsewhere()
{
    const QStringList elsewhere = linkKeeper ? linkKeeper->elsewhere() : QStringList();
    if (elsewhere.isEmpty() || linkState == LinkKeeper::State::Connected)
        return;
    // Longer than the strip is wide: on two lines.
    ui.label_link->setWordWrap(true);
    if (!linkAddress.isEmpty())
        ui.label_link->setText(tr("在 %1 找到其他仪表；如需更换请在设置中确认").arg(elsewhere.join(QStringLiteral("、"))));
    else if (elsewhere.size() > 1)
        ui.label_link->setText(tr("找到 %1 台仪表，请在设置中选择本工位的仪表").arg(elsewhere.size()));
}

void mainwindow::showValuesStale(bool stale)
{
    // Disabled labels keep their text and frame and are drawn grey.
    for (QLabel *label : {ui.label_Nt, ui.label_Nst, ui.label_Kt, ui.label_Nmax, ui.label_Nsmax,
                          ui.label_Kmax, ui.label_airroomt, ui.label_smoket, ui.label_Ad})
        label->setEnabled(!stale);
}
