#ifndef CONFIG_SETTINGSFORM_H
#define CONFIG_SETTINGSFORM_H

#include <QCoreApplication>
#include <QDate>
#include <QFlags>
#include <QMap>
#include <QString>

#include "config/stationsettings.h"
#include "net/serialline.h"

namespace settings {

// Everything the settings dialog edits, as the operator typed it, with the
// rules each value must keep before it reaches set.ini. A plain value: the
// dialog fills one, asks it what it refuses and has it saved; tests do the
// same without a window.
struct SettingsForm
{
    Q_DECLARE_TR_FUNCTIONS(SettingsForm)

public:
    enum Field {
        ServerAddress, StationName, LaneName, DatabaseFile,
        ServerHost, ServerPort, ServerName, ServerUser, PasswordFile, SslMode,
        ApiListen, ApiToken, Language,
        NaturalK, TurboK, RecentFrom, RecentK,
        StationAddress,
        SerialPort, SerialBaud, SerialDataBits, SerialParity, SerialStopBits, SerialFlowControl,
        ProfileVariant,
    };
    // Why a field's value is refused, by field; empty when all are taken.
    using Refusals = QMap<Field, QString>;

    // What a save changed, for the parts of the program that apply it.
    enum Change {
        ServerAddressChange = 0x01,
        StationChange = 0x02,    // station or lane name
        DatabaseChange = 0x04,   // the database file or the station's server
        ApiChange = 0x08,
        LanguageChange = 0x10,
        LimitsChange = 0x20,
        MeterLinkChange = 0x40,  // network or serial, or the serial line
        ProfileChange = 0x80,    // [Procedure]
    };
    Q_DECLARE_FLAGS(Changes, Change)

    static constexpr int MaxNameLength = 32;     // station and lane
    static constexpr int MaxAddressLength = 64;  // the station's
    static constexpr int MaxServerNameBytes = 63; // PostgreSQL's identifiers

    QString serverAddress;  // empty: none remembered, the program sweeps
    bool meterSerial = false;  // [Meter] Link
    SerialLine serialLine;
    QString stationName;
    QString laneName;
    QString stationAddress;
    QString databaseFile;   // empty: the default file
    StationServer stationServer;
    bool apiEnabled = true;
    QString apiListen;
    QString apiToken;
    QString language = QStringLiteral("zh");
    QString naturalK;       // m-1, as typed; C locale
    QString turboK;
    QDate recentFrom;
    QString recentK;
    QString profile = QStringLiteral("自定义");  // [Procedure] Profile: an Id, or 自定义
    QString variant = QStringLiteral("a");      // [Procedure] Variant

    // The stored settings, as the program uses them.
    static SettingsForm load();
    Refusals validate() const;
    // Writes every field validate() takes, trimmed; a refused one keeps its
    // stored value. Empty text, or why set.ini cannot be written.
    QString save() const;
    Changes changesFrom(const SettingsForm &before) const;
    // The field's name as the dialog shows it.
    static QString fieldName(Field field);
    // Every text trimmed, as it is checked and stored.
    SettingsForm trimmed() const;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(SettingsForm::Changes)

} // namespace settings

#endif
