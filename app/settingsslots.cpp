#include "app/mainwindow.h"

#include <QAction>
#include <QPushButton>

#include "api/apibridge.h"
#include "language/language.h"
#include "app/settingsdialog.h"
#include "host/lanehost.h"
#include "config/apisettings.h"
#include "config/meterlinksettings.h"
#include "config/settings.h"
#include "net/meterlink.h"
#include "net/serversweep.h"

// The settings dialog: how the window opens it and what of a save it
// applies at once.

void mainwindow::addSettingsAccess()
{
    // The header strip has no free space at its right end: the button sits
    // over the right of the link label, whose text gives way by the same
    // width, so no widget of the form moves.
    auto *button = new QPushButton(ui.frame);
    button->setObjectName(QStringLiteral("settingsButton"));
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(QStringLiteral(
        "QPushButton { background-color: white; border: 1px solid rgb(0, 120, 200);"
        " border-radius: 3px; padding: 2px 8px; }"
        "QPushButton:pressed { background-color: rgb(210, 235, 255); }"));
    connect(button, &QPushButton::clicked, this, &mainwindow::openSettings);

    auto *action = new QAction(this);
    action->setObjectName(QStringLiteral("settingsAction"));
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Preferences);
    const QKeySequence ctrlComma(Qt::CTRL | Qt::Key_Comma);
    if (!keys.contains(ctrlComma))
        keys << ctrlComma;
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    connect(action, &QAction::triggered, this, &mainwindow::openSettings);

    connect(this, &mainwindow::languageChosen, this, [](const QString &code) { Language::switchTo(code); });
    connect(this, &mainwindow::apiSettingsChanged, this, &mainwindow::restartApi);
}

// Its width follows the language's word, so it is placed again after a
// language change, and the link's text makes room again.
void mainwindow::placeSettingsButton()
{
    auto *button = ui.frame->findChild<QPushButton *>(QStringLiteral("settingsButton"));
    button->setText(tr("设置"));
    findChild<QAction *>(QStringLiteral("settingsAction"))->setText(tr("设置"));
    const QSize size = button->sizeHint();
    const int right = width() - 6;
    button->setGeometry(right - size.width(), (ui.frame->height() - size.height()) / 2, size.width(),
                        size.height());
    const QRect link = ui.label_link->geometry();
    ui.label_link->setContentsMargins(0, 0, qMax(0, link.right() - button->x() + 8), 0);
}

void mainwindow::restartApi()
{
    host->startApi();
}

void mainwindow::openSettings()
{
    if (auto *open = findChild<SettingsDialog *>()) {
        open->raise();
        open->activateWindow();
        return;
    }
    auto *dialog = new SettingsDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &SettingsDialog::serverAddressChanged, this, &mainwindow::useServerAddress);
    connect(dialog, &SettingsDialog::meterLinkChanged, this, &mainwindow::useMeterLink);
    connect(dialog, &SettingsDialog::findServerRequested, this,
            [this] { linkKeeper->startLooking(settings::storedServerAddress()); });
    // The keeper hears of a sweep's end first, so what it took or left is known here.
    dialog->showMetersElsewhere(linkKeeper->elsewhere());
    connect(linkKeeper, &LinkKeeper::metersElsewhere, dialog, &SettingsDialog::showMetersElsewhere);
    connect(meterLink->serverSweep(), &ServerSweep::ended, dialog, [this, dialog](const QStringList &meters) {
        dialog->showSearchEnded(meters.contains(linkKeeper->address()) ? linkKeeper->address() : QString());
    });
    connect(dialog, &SettingsDialog::languageChanged, this, &mainwindow::languageChosen);
    connect(dialog, &SettingsDialog::apiSettingsChanged, this, &mainwindow::apiSettingsChanged);
    connect(dialog, &SettingsDialog::databaseChanged, this, &mainwindow::useStationServer);
    connect(dialog, &SettingsDialog::profileChanged, host, &LaneHost::useProfile);
    dialog->open();
}

void mainwindow::useServerAddress(const QString &address)
{
    // No address: the next start sweeps; the link at hand stays. A meter
    // on a serial port keeps it: the address waits for Link=network.
    if (!address.isEmpty() && !meterLink->onSerial())
        linkKeeper->useAddress(address);
}

void mainwindow::useMeterLink()
{
    const settings::MeterLinkSettings meter = settings::storedMeterLink();
    if (meter.serial) {
        meterLink->useSerial(meter.line);
        return;
    }
    if (!meterLink->onSerial())
        return;
    meterLink->useNetwork();
    const QString stored = settings::storedServerAddress();
    if (stored.isEmpty())
        linkKeeper->startLooking(QString());
    else
        linkKeeper->useAddress(stored);
}
