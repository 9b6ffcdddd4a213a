#include "config/inifile.h"

#include <QDebug>
#include <QFile>
#include <QTextCodec>

namespace {
const char TokenKey[] = "Api/Token";
} // namespace

namespace settings {

QString iniPath()
{
    return QStringLiteral("./set.ini");
}

IniFile::IniFile(const QString &path) : file(path, QSettings::IniFormat)
{
    file.setIniCodec("UTF-8");
}

QVariant IniFile::value(const QString &key, const QVariant &fallback) const
{
    const QVariant stored = file.value(key, fallback);
    return stored.type() == QVariant::String ? QVariant(mendedText(stored.toString())) : stored;
}

bool IniFile::commit()
{
    const QString group = file.group();
    while (!file.group().isEmpty())
        file.endGroup();
    // The whole file is written again, so values an older version escaped
    // are written as the text they stand for, readable in the file too.
    for (const QString &key : file.allKeys()) {
        const QVariant stored = file.value(key);
        if (stored.type() == QVariant::String && mendedText(stored.toString()) != stored.toString())
            file.setValue(key, mendedText(stored.toString()));
    }
    file.sync();
    // The token lets a client start tests: other users of the PC must not
    // read it, whoever made the file and however.
    const bool holdsToken = !file.value(QLatin1String(TokenKey)).toString().trimmed().isEmpty();
    if (!group.isEmpty())
        file.beginGroup(group);
    if (file.status() != QSettings::NoError) {
        qWarning() << "cannot write" << file.fileName();
        return false;
    }
    if (holdsToken && !QFile::setPermissions(file.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        qWarning() << "cannot make" << file.fileName() << "readable by its owner only";
        return false;
    }
    return true;
}

QString mendedText(const QString &text)
{
    // Only a text made wholly of Latin-1 characters, some of them above
    // ASCII, can be escaped bytes; a real Latin-1 text ("Müller") is not
    // valid UTF-8 and stays as it is.
    bool high = false;
    for (const QChar c : text) {
        if (c.unicode() > 0xff)
            return text;
        high = high || c.unicode() > 0x7f;
    }
    if (!high)
        return text;
    QTextCodec::ConverterState state;
    const QByteArray bytes = text.toLatin1();
    const QString decoded = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0 ? decoded : text;
}

} // namespace settings
