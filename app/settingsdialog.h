#ifndef APP_SETTINGSDIALOG_H
#define APP_SETTINGSDIALOG_H

#include <QDialog>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

#include "config/settingsform.h"

class SerialLineBox;

namespace Ui {
class SettingsDialog;
}

// "设置": every key of set.ini an operator may need, each checked by
// settings::SettingsForm before it is stored. Knows nothing of the main
// window: it announces what a save changed, and the window applies what can
// apply at once.
class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsDialog(QWidget *parent = nullptr);
    ~SettingsDialog() override;

    // What the fields hold now.
    settings::SettingsForm form() const;

public slots:
    // A sweep of the network ended, having found 'found' (empty: nothing).
    // After "自动查找" the address found goes into the field.
    void showSearchEnded(const QString &found);
    // Meters that answered and were not taken, for the operator to choose
    // one: choosing stores it and connects, as typing it and "应用" does.
    void showMetersElsewhere(const QStringList &addresses);
    // Checks and saves the fields and announces what changed. False, with the
    // refused fields marked and named, when nothing was saved.
    bool apply();
    void accept() override;

signals:
    void serverAddressChanged(const QString &address);  // empty: none remembered
    void meterLinkChanged();  // [Meter]: network or serial, or the serial line
    void findServerRequested();
    void languageChanged(const QString &language);       // "zh" or "en"
    void apiSettingsChanged();
    void stationChanged();
    void databaseChanged();
    void limitsChanged();
    void profileChanged();  // [Procedure]

protected:
    void changeEvent(QEvent *event) override;

private:
    void listProfiles();
    void showForm(const settings::SettingsForm &f);
    void markRefusals(const settings::SettingsForm::Refusals &refused);
    void announce(settings::SettingsForm::Changes changes, const settings::SettingsForm &saved);
    void styleHelpLines();
    void showLinkChoice(bool serial);

    std::unique_ptr<Ui::SettingsDialog> ui;
    SerialLineBox *serialBox;
    QHash<int, QWidget *> fieldWidgets;  // by SettingsForm::Field
    settings::SettingsForm stored;       // as last loaded or saved
    bool findAsked = false;
};

#endif
