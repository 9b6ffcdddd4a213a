#include "config/settingsform.h"

#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>

#include "config/apisettings.h"
#include "config/inifile.h"
#include "config/limitsettings.h"
#include "config/meterlinksettings.h"
#include "config/profilesettings.h"
#include "config/recordsettings.h"
#include "config/settings.h"
#include "config/uisettings.h"
#include "records/recordcheck.h"

namespace settings {

namespace {

using Field = SettingsForm::Field;
using Refusals = SettingsForm::Refusals;

bool hasControl(const QString &text)
{
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            return true;
    return false;
}

// An IPv4 literal in its full dotted form (Qt also takes "127.1"), or an
// IPv6 literal.
bool parseAddress(const QString &text, QHostAddress *address)
{
    static const QRegularExpression dotted(QStringLiteral("^\\d{1,3}(\\.\\d{1,3}){3}\\z"));
    if (!dotted.match(text).hasMatch() && !text.contains(QLatin1Char(':')))
        return false;
    return address->setAddress(text);
}

void checkServerAddress(const QString &text, Refusals *refused)
{
    QHostAddress a;
    if (text.isEmpty())
        return;
    if (!parseAddress(text, &a))
        refused->insert(Field::ServerAddress, SettingsForm::tr("不是 IPv4 或 IPv6 地址"));
    else if (a.isNull() || a == QHostAddress::AnyIPv4 || a == QHostAddress::AnyIPv6
             || a.isMulticast() || a.isBroadcast())
        refused->insert(Field::ServerAddress, SettingsForm::tr("不是一台主机的地址"));
}

void checkName(Field field, const QString &text, Refusals *refused)
{
    // The rule the vehicle panel and the API apply to the operator too.
    if (const QString why = nameProblem(text); !why.isEmpty())
        refused->insert(field, why);
    else if (text.size() > SettingsForm::MaxNameLength)
        refused->insert(field, SettingsForm::tr("最多 %1 个字符").arg(SettingsForm::MaxNameLength));
}

void checkAddress(const QString &text, Refusals *refused)
{
    if (hasControl(text))
        refused->insert(Field::StationAddress, SettingsForm::tr("不能含换行或其他控制字符"));
    else if (text.size() > SettingsForm::MaxAddressLength)
        refused->insert(Field::StationAddress, SettingsForm::tr("最多 %1 个字符").arg(SettingsForm::MaxAddressLength));
}

void checkDatabaseFile(const QString &text, Refusals *refused)
{
    if (hasControl(text))
        refused->insert(Field::DatabaseFile, SettingsForm::tr("不能含换行或其他控制字符"));
    else if (!text.isEmpty() && QFileInfo(text).isDir())
        refused->insert(Field::DatabaseFile, SettingsForm::tr("是一个文件夹，不是文件"));
    else if (text == QLatin1String(settings::InMemoryName))
        refused->insert(Field::DatabaseFile, SettingsForm::tr("是内存数据库，程序结束时记录全部丢失"));
}

void checkServerHost(const QString &text, Refusals *refused)
{
    static const QRegularExpression hostName(QStringLiteral(
        "^[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?)*\\z"));
    QHostAddress a;
    if (text.isEmpty() || hostName.match(text).hasMatch() || parseAddress(text, &a))
        return;
    if (text.startsWith(QLatin1Char('/')) && !hasControl(text)) {
        if (!QFileInfo(text).isDir())
            refused->insert(Field::ServerHost, SettingsForm::tr("文件夹 %1 不存在").arg(text));
        return;
    }
    refused->insert(Field::ServerHost,
                    SettingsForm::tr("须为主机名、IP 地址或存放服务器套接字的文件夹"));
}

void checkServerIdentity(Field field, const QString &text, Refusals *refused)
{
    if (hasControl(text))
        refused->insert(field, SettingsForm::tr("不能含换行或其他控制字符"));
    else if (text.toUtf8().size() > SettingsForm::MaxServerNameBytes)
        refused->insert(field, SettingsForm::tr("最多 %1 个字节").arg(SettingsForm::MaxServerNameBytes));
}

void checkPasswordFile(const QString &path, Refusals *refused)
{
    QFileInfo file(path);
    if (path.isEmpty())
        return;
    if (!file.exists())
        refused->insert(Field::PasswordFile, SettingsForm::tr("文件不存在"));
    else if (!file.isFile())
        refused->insert(Field::PasswordFile, SettingsForm::tr("不是文件"));
    else if (!ownerOnly(path))
        refused->insert(Field::PasswordFile,
                        SettingsForm::tr("除所有者外还有人可读写此文件（请执行 chmod 600）"));
    else if (!file.isReadable())
        refused->insert(Field::PasswordFile, SettingsForm::tr("无法读取此文件"));
}

void checkStationServer(const StationServer &s, Refusals *refused)
{
    checkServerHost(s.host, refused);
    if (s.port < 1 || s.port > 65535)
        refused->insert(Field::ServerPort, SettingsForm::tr("须在 1 到 65535 之间"));
    checkServerIdentity(Field::ServerName, s.name, refused);
    checkServerIdentity(Field::ServerUser, s.user, refused);
    checkPasswordFile(s.passwordFile, refused);
    if (!s.sslMode.isEmpty() && !sslModes().contains(s.sslMode))
        refused->insert(Field::SslMode, SettingsForm::tr("须为 %1 之一，或留空").arg(sslModes().join(QLatin1Char(' '))));
}

void checkApi(const QString &listen, const QString &token, Refusals *refused)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{16,64}\\z"));
    QHostAddress address;
    quint16 port = 0;
    QString error;
    const bool listenOk = parseApiListen(listen, &address, &port, &error);
    if (!listenOk)
        refused->insert(Field::ApiListen,
                        SettingsForm::tr("须为 IP 地址和 1 到 65535 的端口，如 127.0.0.1:8900 或 [::1]:8900"));
    if (!token.isEmpty() && !hex.match(token).hasMatch())
        refused->insert(Field::ApiToken, SettingsForm::tr("须为 16 到 64 位十六进制数字，请按“重新生成”"));
    else if (token.isEmpty() && listenOk && !address.isLoopback())
        refused->insert(Field::ApiToken, SettingsForm::tr("在本机以外监听时必须有令牌，请按“重新生成”"));
}

void checkLimit(Field field, const QString &text, Refusals *refused)
{
    bool ok = false;
    const double k = QLocale::c().toDouble(text, &ok);
    if (!ok)
        refused->insert(field, SettingsForm::tr("不是数字"));
    else if (!(k > 0 && k < 10))
        refused->insert(field, SettingsForm::tr("须大于 0 且小于 10 m⁻¹"));
}

void checkSerialLine(bool serial, const SerialLine &line, Refusals *refused)
{
    static const QMap<QString, Field> fields = {
        {QStringLiteral("Port"), Field::SerialPort}, {QStringLiteral("Baud"), Field::SerialBaud},
        {QStringLiteral("DataBits"), Field::SerialDataBits}, {QStringLiteral("Parity"), Field::SerialParity},
        {QStringLiteral("StopBits"), Field::SerialStopBits}, {QStringLiteral("FlowControl"), Field::SerialFlowControl},
    };
    QString key;
    const QString why = serialLineProblem(line, serial, &key);
    if (!why.isEmpty())
        refused->insert(fields.value(key), why);
}

} // namespace

SettingsForm SettingsForm::load()
{
    SettingsForm f;
    f.serverAddress = storedServerAddress().trimmed();
    const MeterLinkSettings meter = storedMeterLink();
    f.meterSerial = meter.serial;
    f.serialLine = meter.line;
    f.stationName = settings::stationName();
    f.laneName = settings::laneName();
    f.stationAddress = settings::stationAddress();
    f.databaseFile = settings::databaseFile();
    f.stationServer = storedStationServer();
    const ApiSettings api = storedApiSettings();
    f.apiEnabled = api.enabled;
    f.apiListen = api.listen;
    f.apiToken = api.token;
    f.language = storedLanguage();
    const LimitsTable limits = storedLimitsTable();
    f.naturalK = QString::number(limits.naturalK);
    f.turboK = QString::number(limits.turboK);
    f.recentFrom = limits.recentFrom;
    f.recentK = QString::number(limits.recentK);
    const ProcedureChoice procedure = storedProcedureChoice();
    f.profile = procedure.profile;
    f.variant = procedure.variant;
    return f;
}

SettingsForm SettingsForm::trimmed() const
{
    SettingsForm f = *this;
    for (QString *text : {&f.serverAddress, &f.serialLine.port, &f.stationName, &f.laneName, &f.stationAddress, &f.databaseFile,
                          &f.stationServer.host, &f.stationServer.name, &f.stationServer.user,
                          &f.stationServer.passwordFile, &f.stationServer.sslMode, &f.apiListen,
                          &f.apiToken, &f.language, &f.naturalK, &f.turboK, &f.recentK,
                          &f.profile, &f.variant})
        *text = text->trimmed();
    return f;
}

SettingsForm::Refusals SettingsForm::validate() const
{
    const SettingsForm f = trimmed();
    Refusals refused;
    checkServerAddress(f.serverAddress, &refused);
    checkSerialLine(f.meterSerial, f.serialLine, &refused);
    checkName(Field::StationName, f.stationName, &refused);
    checkName(Field::LaneName, f.laneName, &refused);
    checkAddress(f.stationAddress, &refused);
    checkDatabaseFile(f.databaseFile, &refused);
    checkStationServer(f.stationServer, &refused);
    checkApi(f.apiListen, f.apiToken, &refused);
    if (f.language != QLatin1String("zh") && f.language != QLatin1String("en"))
        refused.insert(Field::Language, tr("须为 zh 或 en"));
    checkLimit(Field::NaturalK, f.naturalK, &refused);
    checkLimit(Field::TurboK, f.turboK, &refused);
    checkLimit(Field::RecentK, f.recentK, &refused);
    if (!f.recentFrom.isValid())
        refused.insert(Field::RecentFrom, tr("不是有效日期"));
    if (f.variant != QLatin1String("a") && f.variant != QLatin1String("b"))
        refused.insert(Field::ProfileVariant, tr("须为 a 或 b"));
    return refused;
}

namespace {

// QSettings only warns when it cannot write; the dialog must say so.
QString unwritable()
{
    const QFileInfo file(iniPath());
    const bool writable = file.exists() ? file.isWritable() : QFileInfo(file.absolutePath()).isWritable();
    return writable ? QString()
                    : SettingsForm::tr("无法写入 %1").arg(QDir::cleanPath(file.absoluteFilePath()));
}

StationServer mergedServer(const SettingsForm &f, const Refusals &refused)
{
    StationServer s = storedStationServer();
    const StationServer &typed = f.stationServer;
    if (!refused.contains(Field::ServerHost))
        s.host = typed.host;
    if (!refused.contains(Field::ServerPort))
        s.port = typed.port;
    if (!refused.contains(Field::ServerName))
        s.name = typed.name;
    if (!refused.contains(Field::ServerUser))
        s.user = typed.user;
    if (!refused.contains(Field::PasswordFile))
        s.passwordFile = typed.passwordFile;
    if (!refused.contains(Field::SslMode))
        s.sslMode = typed.sslMode;
    return s;
}

LimitsTable mergedLimits(const SettingsForm &f, const Refusals &refused)
{
    LimitsTable t = storedLimitsTable();
    const auto take = [&](Field field, const QString &text, double *k) {
        if (!refused.contains(field))
            *k = QLocale::c().toDouble(text);
    };
    take(Field::NaturalK, f.naturalK, &t.naturalK);
    take(Field::TurboK, f.turboK, &t.turboK);
    take(Field::RecentK, f.recentK, &t.recentK);
    if (!refused.contains(Field::RecentFrom))
        t.recentFrom = f.recentFrom;
    return t;
}

} // namespace

QString SettingsForm::save() const
{
    const QString error = unwritable();
    if (!error.isEmpty())
        return error;
    const SettingsForm f = trimmed();
    const Refusals refused = f.validate();
    if (!refused.contains(Field::ServerAddress)) {
        if (f.serverAddress.isEmpty())
            forgetServerAddress();
        else
            storeServerAddress(f.serverAddress);
    }
    const bool lineRefused = std::any_of(refused.keyBegin(), refused.keyEnd(), [](Field field) {
        return field >= Field::SerialPort && field <= Field::SerialFlowControl;
    });
    const MeterLinkSettings meter = storedMeterLink();
    if (!lineRefused && (meter.serial != f.meterSerial || meter.line != f.serialLine))
        storeMeterLink({f.meterSerial, f.serialLine});
    if (!refused.contains(Field::StationName))
        storeStationName(f.stationName);
    if (!refused.contains(Field::LaneName))
        storeLaneName(f.laneName);
    if (!refused.contains(Field::StationAddress))
        storeStationAddress(f.stationAddress);
    if (!refused.contains(Field::DatabaseFile))
        storeDatabaseFile(f.databaseFile);
    storeStationServer(mergedServer(f, refused));
    const ApiSettings api = storedApiSettings();
    storeApiSettings(f.apiEnabled, refused.contains(Field::ApiListen) ? api.listen : f.apiListen,
                     refused.contains(Field::ApiToken) ? api.token : f.apiToken);
    if (!refused.contains(Field::Language))
        storeLanguage(f.language);
    storeLimitsTable(mergedLimits(f, refused));
    const ProcedureChoice procedure = storedProcedureChoice();
    const QString profile = f.profile.isEmpty() ? ProcedureProfile::CustomId : f.profile;
    if (!refused.contains(Field::ProfileVariant) && (procedure.profile != profile || procedure.variant != f.variant))
        storeProcedureChoice({profile, f.variant});
    return QString();
}

SettingsForm::Changes SettingsForm::changesFrom(const SettingsForm &before) const
{
    const SettingsForm a = trimmed();
    const SettingsForm b = before.trimmed();
    const StationServer &s = a.stationServer;
    const StationServer &t = b.stationServer;
    Changes changes;
    changes.setFlag(ServerAddressChange, a.serverAddress != b.serverAddress);
    changes.setFlag(MeterLinkChange, a.meterSerial != b.meterSerial || a.serialLine != b.serialLine);
    changes.setFlag(StationChange, a.stationName != b.stationName || a.laneName != b.laneName
                                       || a.stationAddress != b.stationAddress);
    changes.setFlag(DatabaseChange, a.databaseFile != b.databaseFile || s.host != t.host
                                        || s.port != t.port || s.name != t.name || s.user != t.user
                                        || s.passwordFile != t.passwordFile || s.sslMode != t.sslMode);
    changes.setFlag(ApiChange, a.apiEnabled != b.apiEnabled || a.apiListen != b.apiListen
                                   || a.apiToken != b.apiToken);
    changes.setFlag(LanguageChange, a.language != b.language);
    changes.setFlag(LimitsChange, a.naturalK != b.naturalK || a.turboK != b.turboK
                                      || a.recentFrom != b.recentFrom || a.recentK != b.recentK);
    changes.setFlag(ProfileChange, a.profile != b.profile || a.variant != b.variant);
    return changes;
}

QString SettingsForm::fieldName(Field field)
{
    switch (field) {
    case ServerAddress: return tr("仪表服务器地址");
    case StationName: return tr("检测站名称");
    case LaneName: return tr("检测线名称");
    case StationAddress: return tr("检测站地址");
    case DatabaseFile: return tr("数据库文件");
    case ServerHost: return tr("服务器主机");
    case ServerPort: return tr("服务器端口");
    case ServerName: return tr("数据库名");
    case ServerUser: return tr("用户名");
    case PasswordFile: return tr("密码文件");
    case SslMode: return tr("SSL 模式");
    case ApiListen: return tr("监听地址");
    case ApiToken: return tr("令牌");
    case Language: return tr("语言");
    case NaturalK: return tr("自然吸气限值");
    case TurboK: return tr("增压限值");
    case RecentFrom: return tr("新车起始日期");
    case RecentK: return tr("新车限值");
    case SerialPort: return tr("串口");
    case SerialBaud: return tr("波特率");
    case SerialDataBits: return tr("数据位");
    case SerialParity: return tr("校验");
    case SerialStopBits: return tr("停止位");
    case SerialFlowControl: return tr("流控");
    case ProfileVariant: return tr("方案限值");
    }
    return QString();
}

} // namespace settings
