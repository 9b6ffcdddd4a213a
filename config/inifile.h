#ifndef CONFIG_INIFILE_H
#define CONFIG_INIFILE_H

#include <QSettings>
#include <QString>
#include <QVariant>

namespace settings {

// "./set.ini": the settings file in the working folder.
QString iniPath();

// The one way into the settings file, for the program and the tools. People
// edit the file by hand, so it is read and written as UTF-8: Chinese values
// stay readable there. Values an older version wrote escaped (Qt's
// "\x4e00", or UTF-8 bytes escaped one by one, "\xe4\xb8\x89") are read as
// the text they stood for. Each object is one read or one write: set the
// values, then commit().
class IniFile
{
public:
    explicit IniFile(const QString &path = iniPath());

    QVariant value(const QString &key, const QVariant &fallback = QVariant()) const;
    bool contains(const QString &key) const { return file.contains(key); }
    void setValue(const QString &key, const QVariant &value) { file.setValue(key, value); }
    void remove(const QString &key) { file.remove(key); }
    void beginGroup(const QString &prefix) { file.beginGroup(prefix); }
    void endGroup() { file.endGroup(); }
    QString fileName() const { return file.fileName(); }

    // Writes what was set. A file that holds the API token is then left
    // readable and writable by its owner only. False, with a line in the
    // log, when the file cannot be written.
    bool commit();

private:
    QSettings file;
};

// The text a value read from the file stands for: UTF-8 bytes that an older
// writer escaped one by one become the characters they encode; anything
// else is returned as it is.
QString mendedText(const QString &text);

} // namespace settings

#endif
