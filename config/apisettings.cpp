#include "config/apisettings.h"

#include <QDebug>
#include <QRandomGenerator>
#include <QRegularExpression>

#include "config/inifile.h"

namespace {
const char EnabledKey[] = "Api/Enabled";
const char ListenKey[] = "Api/Listen";
const char TokenKey[] = "Api/Token";
const char OriginsKey[] = "Api/Origins";
const char DefaultListen[] = "127.0.0.1:8900";
} // namespace

namespace settings {

bool parseApiListen(const QString &text, QHostAddress *address, quint16 *port, QString *error)
{
    // Qt's address parser overlooks blanks and takes some short forms
    // ("1.2"), so the shape is checked before it gets the text.
    static const QRegularExpression shape(QStringLiteral(
        "^(?:(\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3})|\\[([0-9A-Fa-f:.]+)\\]):(\\d{1,5})\\z"));
    const QRegularExpressionMatch m = shape.match(text);
    QHostAddress a;
    const QString host = m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
    const uint p = m.captured(3).toUInt();
    if (!m.hasMatch() || !a.setAddress(host)) {
        *error = QStringLiteral("Listen must be an IP address and a port, like 127.0.0.1:8900 or [::1]:8900");
        return false;
    }
    if (p < 1 || p > 65535) {
        *error = QStringLiteral("Listen: the port must be from 1 to 65535");
        return false;
    }
    *address = a;
    *port = quint16(p);
    return true;
}

QString newApiToken()
{
    quint32 words[ApiTokenLength / 8];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex();
}

void storeApiSettings(bool enabled, const QString &listen, const QString &token)
{
    IniFile file;
    file.setValue(QLatin1String(EnabledKey), enabled);
    file.setValue(QLatin1String(ListenKey), listen);
    file.setValue(QLatin1String(TokenKey), token);
    file.commit();
}

ApiSettings storedApiSettings()
{
    IniFile file;
    ApiSettings s;
    s.enabled = file.value(QLatin1String(EnabledKey), true).toBool();
    const QString listen = file.value(QLatin1String(ListenKey), QLatin1String(DefaultListen)).toString();
    s.listen = listen;
    if (!parseApiListen(listen, &s.address, &s.port, &s.listenError))
        s.listenError = QStringLiteral("%1 (set.ini has \"%2\")").arg(s.listenError, listen);
    for (const QString &origin : file.value(QLatin1String(OriginsKey)).toStringList())
        if (!origin.trimmed().isEmpty())
            s.origins << origin.trimmed();
    s.token = file.value(QLatin1String(TokenKey)).toString().trimmed();
    if (!s.token.isEmpty())
        return s;
    const QString token = newApiToken();
    for (const char *key : {EnabledKey, ListenKey})
        if (!file.contains(QLatin1String(key)))
            file.setValue(QLatin1String(key), key == EnabledKey ? QVariant(true) : QVariant(QLatin1String(DefaultListen)));
    file.setValue(QLatin1String(TokenKey), token);
    if (file.commit())
        s.token = token;
    else
        qWarning() << "api: cannot store a new token in" << file.fileName()
                   << "- commands that change anything are refused until one is set";
    return s;
}

} // namespace settings
