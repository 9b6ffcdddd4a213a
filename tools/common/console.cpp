#include "common/console.h"

#include <QTime>

#include <cstdio>

namespace console {

namespace {
void write(FILE *stream, const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

void out(const QString &line)
{
    write(stdout, line);
}

void err(const QString &line)
{
    write(stderr, line);
}

QString timeStamp()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"));
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QString printable(const QString &text)
{
    QString shown;
    for (const QChar c : text) {
        const QChar::Category category = c.category();
        if (c == QLatin1Char('\n'))
            shown += QLatin1String("\\n");
        else if (category == QChar::Other_Control && c.unicode() < 0x100)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else if (category == QChar::Separator_Line || category == QChar::Separator_Paragraph
                 || (c.unicode() >= 0x202a && c.unicode() <= 0x202e)
                 || (c.unicode() >= 0x2066 && c.unicode() <= 0x2069))
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + printable(text) + QLatin1Char('\'');
}

} // namespace console
