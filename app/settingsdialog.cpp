#include "app/settingsdialog.h"

#include <QComboBox>
#include <QEvent>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>

#include "app/retranslate.h"
#include "app/seriallinebox.h"
#include "config/apisettings.h"
#include "config/profilesettings.h"
#include "ui_settingsdialog.h"

using settings::SettingsForm;

SettingsDialog::SettingsDialog(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::SettingsDialog>())
{
    ui->setupUi(this);
    // Each language's own name, whatever the window speaks.
    ui->languageCombo->addItem(QStringLiteral("中文"), QStringLiteral("zh"));
    ui->languageCombo->addItem(QStringLiteral("English"), QStringLiteral("en"));
    listProfiles();
    Retranslate::text(ui->buttonBox->button(QDialogButtonBox::Ok), [] { return tr("确定"); });
    Retranslate::text(ui->buttonBox->button(QDialogButtonBox::Cancel), [] { return tr("取消"); });
    Retranslate::text(ui->buttonBox->button(QDialogButtonBox::Apply), [] { return tr("应用"); });
    ui->buttonBox->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    ui->buttonBox->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    ui->buttonBox->button(QDialogButtonBox::Apply)->setObjectName(QStringLiteral("applyButton"));
    ui->messageLabel->setStyleSheet(QStringLiteral("color: #c00000;"));
    setStyleSheet(QStringLiteral("*[refused=\"true\"] { background-color: #ffe0e0; }"));
    serialBox = new SerialLineBox(ui->meterTab);
    serialBox->setObjectName(QStringLiteral("serialLineBox"));
    ui->meterLayout->insertWidget(0, serialBox);
    connect(serialBox, &SerialLineBox::serialToggled, this, &SettingsDialog::showLinkChoice);
    styleHelpLines();

    const auto combo = [this](const char *name) { return serialBox->findChild<QComboBox *>(QLatin1String(name)); };
    fieldWidgets = {
        {SettingsForm::SerialPort, serialBox->portField()}, {SettingsForm::SerialBaud, serialBox->baudField()},
        {SettingsForm::SerialDataBits, combo("serialDataBitsCombo")}, {SettingsForm::SerialParity, combo("serialParityCombo")},
        {SettingsForm::SerialStopBits, combo("serialStopBitsCombo")}, {SettingsForm::SerialFlowControl, combo("serialFlowCombo")},
    };
    fieldWidgets.insert({
        {SettingsForm::ServerAddress, ui->serverAddressEdit}, {SettingsForm::StationName, ui->stationNameEdit},
        {SettingsForm::LaneName, ui->laneNameEdit},
        {SettingsForm::StationAddress, ui->stationAddressEdit}, {SettingsForm::DatabaseFile, ui->databaseFileEdit},
        {SettingsForm::ServerHost, ui->serverHostEdit}, {SettingsForm::ServerPort, ui->serverPortSpin},
        {SettingsForm::ServerName, ui->serverNameEdit}, {SettingsForm::ServerUser, ui->serverUserEdit},
        {SettingsForm::PasswordFile, ui->passwordFileEdit}, {SettingsForm::SslMode, ui->sslModeCombo},
        {SettingsForm::ApiListen, ui->apiListenEdit}, {SettingsForm::ApiToken, ui->apiTokenEdit},
        {SettingsForm::Language, ui->languageCombo}, {SettingsForm::NaturalK, ui->naturalKEdit},
        {SettingsForm::TurboK, ui->turboKEdit}, {SettingsForm::RecentFrom, ui->recentFromEdit},
        {SettingsForm::RecentK, ui->recentKEdit}, {SettingsForm::ProfileVariant, ui->variantCombo},
    });

    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);
    connect(ui->buttonBox->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &SettingsDialog::apply);
    connect(ui->findServerButton, &QPushButton::clicked, this, [this] {
        findAsked = true;
        Retranslate::text(ui->serverFoundLabel, [] { return tr("正在查找仪表…"); });
        emit findServerRequested();
    });
    connect(ui->meterChoiceList, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        ui->serverAddressEdit->setText(item->text());
        if (apply())
            delete item;
    });
    showMetersElsewhere({});
    connect(ui->regenerateTokenButton, &QPushButton::clicked, this,
            [this] { ui->apiTokenEdit->setText(settings::newApiToken()); });

    stored = SettingsForm::load();
    showForm(stored);
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        ui->profileCombo->setItemText(0, tr("自定义"));
    }
    QDialog::changeEvent(event);
}

// 自定义 first, then every profile found, by title; a file refused is left
// out here and named in the log.
void SettingsDialog::listProfiles()
{
    ui->profileCombo->addItem(tr("自定义"), ProcedureProfile::CustomId);
    QStringList faults;
    for (const ProcedureProfile &p : settings::availableProfiles(&faults))
        ui->profileCombo->addItem(QStringLiteral("%1 (%2)").arg(p.title, p.id), p.id);
    for (const QString &fault : faults)
        qWarning("procedure: %s", qPrintable(fault));
    ui->variantCombo->addItem(QStringLiteral("a"), QStringLiteral("a"));
    ui->variantCombo->addItem(QStringLiteral("b"), QStringLiteral("b"));
}

void SettingsDialog::styleHelpLines()
{
    // Help lines and notes: small grey text under the fields.
    static const QRegularExpression names(QStringLiteral("(Help|Note)$"));
    for (QLabel *label : findChildren<QLabel *>(names)) {
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * 0.85);
        label->setFont(font);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QColor(0x70, 0x70, 0x70));
        label->setPalette(palette);
    }
}

// The network's fields and the serial line's take turns on the 仪表 tab.
void SettingsDialog::showLinkChoice(bool serial)
{
    for (QWidget *w : {static_cast<QWidget *>(ui->serverAddressLabel), static_cast<QWidget *>(ui->serverAddressEdit),
                       static_cast<QWidget *>(ui->findServerButton), static_cast<QWidget *>(ui->serverAddressHelp)})
        w->setVisible(!serial);
    ui->serverFoundLabel->setVisible(!serial);
    const bool choices = ui->meterChoiceList->count() > 0 && !serial;
    ui->meterChoiceLabel->setVisible(choices);
    ui->meterChoiceList->setVisible(choices);
}

void SettingsDialog::showForm(const SettingsForm &f)
{
    ui->serverAddressEdit->setText(f.serverAddress);
    serialBox->show(f.meterSerial, f.serialLine);
    showLinkChoice(f.meterSerial);
    ui->stationNameEdit->setText(f.stationName);
    ui->laneNameEdit->setText(f.laneName);
    ui->stationAddressEdit->setText(f.stationAddress);
    ui->databaseFileEdit->setText(f.databaseFile);
    ui->serverHostEdit->setText(f.stationServer.host);
    ui->serverPortSpin->setValue(f.stationServer.port);
    ui->serverNameEdit->setText(f.stationServer.name);
    ui->serverUserEdit->setText(f.stationServer.user);
    ui->passwordFileEdit->setText(f.stationServer.passwordFile);
    ui->sslModeCombo->setCurrentText(f.stationServer.sslMode);
    ui->apiEnabledCheck->setChecked(f.apiEnabled);
    ui->apiListenEdit->setText(f.apiListen);
    ui->apiTokenEdit->setText(f.apiToken);
    // A language the combo does not offer stays on show, to be refused.
    const int language = ui->languageCombo->findData(f.language);
    if (language < 0)
        ui->languageCombo->addItem(f.language, f.language);
    ui->languageCombo->setCurrentIndex(ui->languageCombo->findData(f.language));
    ui->naturalKEdit->setText(f.naturalK);
    ui->turboKEdit->setText(f.turboK);
    ui->recentFromEdit->setDate(f.recentFrom);
    ui->recentKEdit->setText(f.recentK);
    // A profile or variant not on offer stays on show, to be refused or mended.
    for (auto [combo, value] : {std::pair<QComboBox *, QString>{ui->profileCombo, f.profile}, {ui->variantCombo, f.variant}}) {
        if (combo->findData(value) < 0)
            combo->addItem(value, value);
        combo->setCurrentIndex(combo->findData(value));
    }
}

SettingsForm SettingsDialog::form() const
{
    SettingsForm f;
    f.serverAddress = ui->serverAddressEdit->text();
    f.meterSerial = serialBox->serialChosen();
    f.serialLine = serialBox->line();
    f.stationName = ui->stationNameEdit->text();
    f.laneName = ui->laneNameEdit->text();
    f.stationAddress = ui->stationAddressEdit->text();
    f.databaseFile = ui->databaseFileEdit->text();
    f.stationServer.host = ui->serverHostEdit->text();
    f.stationServer.port = ui->serverPortSpin->value();
    f.stationServer.name = ui->serverNameEdit->text();
    f.stationServer.user = ui->serverUserEdit->text();
    f.stationServer.passwordFile = ui->passwordFileEdit->text();
    f.stationServer.sslMode = ui->sslModeCombo->currentText();
    f.apiEnabled = ui->apiEnabledCheck->isChecked();
    f.apiListen = ui->apiListenEdit->text();
    f.apiToken = ui->apiTokenEdit->text();
    f.language = ui->languageCombo->currentData().toString();
    f.naturalK = ui->naturalKEdit->text();
    f.turboK = ui->turboKEdit->text();
    f.recentFrom = ui->recentFromEdit->date();
    f.recentK = ui->recentKEdit->text();
    f.profile = ui->profileCombo->currentData().toString();
    f.variant = ui->variantCombo->currentData().toString();
    return f;
}

void SettingsDialog::markRefusals(const SettingsForm::Refusals &refused)
{
    QStringList named;
    for (auto it = fieldWidgets.cbegin(); it != fieldWidgets.cend(); ++it) {
        const auto field = SettingsForm::Field(it.key());
        QWidget *widget = it.value();
        widget->setProperty("refused", refused.contains(field));
        widget->setToolTip(refused.value(field));
        widget->style()->unpolish(widget);
        widget->style()->polish(widget);
    }
    if (refused.isEmpty()) {
        Retranslate::text(ui->messageLabel, [] { return QString(); });
        return;
    }
    // Said again in a new language: the same fields, checked again.
    Retranslate::text(ui->messageLabel, [shown = form()] {
        const SettingsForm::Refusals now = shown.validate();
        QStringList named;
        for (auto it = now.cbegin(); it != now.cend(); ++it)
            named << tr("%1：%2").arg(SettingsForm::fieldName(it.key()), it.value());
        return now.isEmpty() ? QString() : tr("未保存。%1").arg(named.join(tr("；")));
    });
    // The first refused field in view, so the operator sees what to mend.
    QWidget *first = fieldWidgets.value(refused.firstKey());
    for (int i = 0; i < ui->settingsTabs->count(); ++i)
        if (ui->settingsTabs->widget(i)->isAncestorOf(first))
            ui->settingsTabs->setCurrentIndex(i);
    first->setFocus();
}

bool SettingsDialog::apply()
{
    const SettingsForm f = form();
    const SettingsForm::Refusals refused = f.validate();
    markRefusals(refused);
    if (!refused.isEmpty())
        return false;
    const QString error = f.save();
    if (!error.isEmpty()) {
        Retranslate::text(ui->messageLabel, [error] { return tr("未保存：%1").arg(error); });
        return false;
    }
    const SettingsForm saved = SettingsForm::load();
    const SettingsForm::Changes changes = saved.changesFrom(stored);
    stored = saved;
    showForm(saved);
    announce(changes, saved);
    return true;
}

void SettingsDialog::announce(SettingsForm::Changes changes, const SettingsForm &saved)
{
    if (changes & SettingsForm::ServerAddressChange)
        emit serverAddressChanged(saved.serverAddress);
    if (changes & SettingsForm::MeterLinkChange)
        emit meterLinkChanged();
    if (changes & SettingsForm::StationChange)
        emit stationChanged();
    if (changes & SettingsForm::DatabaseChange)
        emit databaseChanged();
    if (changes & SettingsForm::ApiChange)
        emit apiSettingsChanged();
    if (changes & SettingsForm::LimitsChange)
        emit limitsChanged();
    if (changes & SettingsForm::ProfileChange)
        emit profileChanged();
    if (changes & SettingsForm::LanguageChange)
        emit languageChanged(saved.language);
}

void SettingsDialog::accept()
{
    if (apply())
        QDialog::accept();
}

void SettingsDialog::showSearchEnded(const QString &found)
{
    if (!findAsked)
        return;
    findAsked = false;
    if (found.isEmpty() && ui->meterChoiceList->count() > 0) {
        ui->serverFoundLabel->clear();
        return;
    }
    if (found.isEmpty()) {
        Retranslate::text(ui->serverFoundLabel, [] { return tr("网络中没有找到仪表，程序会继续查找。"); });
        return;
    }
    Retranslate::text(ui->serverFoundLabel, [found] { return tr("找到仪表 %1，正在连接。").arg(found); });
    // The window stores the address once connected; the form follows.
    ui->serverAddressEdit->setText(found);
    stored.serverAddress = found;
}

void SettingsDialog::showMetersElsewhere(const QStringList &addresses)
{
    ui->meterChoiceList->clear();
    ui->meterChoiceList->addItems(addresses);
    const bool shown = !addresses.isEmpty() && !serialBox->serialChosen();
    ui->meterChoiceLabel->setVisible(shown);
    ui->meterChoiceList->setVisible(shown);
}
