#include "api/apiaccess.h"

namespace api {

bool tokenMatches(const QString &given, const QString &expected)
{
    const QByteArray a = given.toUtf8();
    const QByteArray b = expected.toUtf8();
    unsigned diff = unsigned(a.size() != b.size()) | unsigned(b.isEmpty());
    for (int i = 0; i < a.size(); ++i)
        diff |= unsigned(char(a.at(i) ^ (b.isEmpty() ? 0 : b.at(i % b.size()))));
    return diff == 0;
}

bool readingNeedsToken(const QHostAddress &listen)
{
    return !listen.isLoopback();
}

bool originAllowed(const QString &origin, const QStringList &allowed)
{
    if (origin.isEmpty())
        return true;
    for (QString entry : allowed) {
        while (entry.endsWith(QLatin1Char('/')))
            entry.chop(1);
        if (entry.compare(origin, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString listenRefusal(const QHostAddress &listen, const QString &token)
{
    if (readingNeedsToken(listen) && token.isEmpty())
        return QStringLiteral("api: not listening on %1: an address other than loopback needs a token "
                              "([Api] Token in set.ini)").arg(listen.toString());
    return QString();
}

} // namespace api
