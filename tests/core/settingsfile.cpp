#include <QtTest>

#include <functional>
#include <sys/stat.h>

#include "config/apisettings.h"
#include "config/inifile.h"
#include "config/limitsettings.h"
#include "config/recordsettings.h"
#include "config/settings.h"
#include "config/stationsettings.h"
#include "config/uisettings.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

namespace {

// One text the program keeps in set.ini: how it is stored and read back.
struct Kept
{
    const char *name;
    QString value;
    std::function<void(const QString &)> store;
    std::function<QString()> read;
};

settings::StationServer serverWith(const QString &name, const QString &user, const QString &passwordFile)
{
    settings::StationServer s = settings::storedStationServer();
    s.name = name.isNull() ? s.name : name;
    s.user = user.isNull() ? s.user : user;
    s.passwordFile = passwordFile.isNull() ? s.passwordFile : passwordFile;
    return s;
}

const QList<Kept> &keptTexts()
{
    using namespace settings;
    static const QList<Kept> texts = {
        {"method", "三次平均", [](const QString &v) { FreeAccelMethod m = FreeAccelMethod::threeMean(); m.name = v; storeFreeAccelMethod(m); },
         [] { return storedFreeAccelMethod().name; }},
        {"station", "一号检测站", storeStationName, stationName},
        {"lane", "3号线", storeLaneName, laneName},
        {"operator", "张三", storeLastOperator, lastOperator},
        {"database", "记录/检测.sqlite", storeDatabaseFile, databaseFile},
        {"server database", "检测站", [](const QString &v) { storeStationServer(serverWith(v, {}, {})); },
         [] { return storedStationServer().name; }},
        {"server user", "三号线", [](const QString &v) { storeStationServer(serverWith({}, v, {})); },
         [] { return storedStationServer().user; }},
        {"password file", "/etc/检测/口令", [](const QString &v) { storeStationServer(serverWith({}, {}, v)); },
         [] { return storedStationServer().passwordFile; }},
    };
    return texts;
}

// The writers whose keys are plain ASCII; each rewrites the whole file.
void writeEveryOtherKey()
{
    settings::storeServerAddress(QStringLiteral("127.0.0.9"));
    settings::storeLanguage(QStringLiteral("en"));
    settings::storeLimitsTable(LimitsTable());
    settings::storeApiSettings(true, QStringLiteral("127.0.0.1:8900"), settings::newApiToken());
}

QByteArray fileBytes()
{
    QFile file(settings::iniPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int fileMode()
{
    struct stat st = {};
    return ::stat(QFile::encodeName(settings::iniPath()).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

// set.ini as people read and edit it: Chinese values in plain UTF-8 through
// every writer, older escaped files still read, the token kept private.
class tst_SettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void init() { dir.reset(new testsupport::ScopedWorkDir); }
    void cleanup() { dir.reset(); }

    // Each text survives its own writer and every other writer after it,
    // and stands in the file as plain UTF-8.
    void chineseRoundTrip_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < keptTexts().size(); ++i)
            QTest::newRow(keptTexts().at(i).name) << i;
    }
    void chineseRoundTrip()
    {
        QFETCH(int, index);
        for (const Kept &kept : keptTexts())
            kept.store(kept.value);
        writeEveryOtherKey();
        const Kept &kept = keptTexts().at(index);
        QCOMPARE(kept.read(), kept.value);
        QVERIFY2(fileBytes().contains("=" + kept.value.toUtf8() + "\n"), fileBytes().constData());
        QVERIFY2(!fileBytes().contains("\\x"), fileBytes().constData());
    }

    // What older versions wrote: Qt's escapes of whole characters, UTF-8
    // bytes escaped one by one, and texts that only look alike.
    void oldFileRead_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("station");
        const QByteArray method = "[FreeAcceleration]\nPeaks=3\nBand=0.5\nRejectDecreasing=false\nMethod=", station = "\n[Station]\nName=";
        QTest::newRow("characters escaped") << method + "\\x4e09\\x6b21\\x5e73\\x5747" + station + "\\x4e00\\x53f7\\x68c0\\x6d4b\\x7ad9"
                                            << "三次平均" << "一号检测站";
        QTest::newRow("UTF-8 bytes escaped") << method + "\\xe4\\xb8\\x89\\xe6\\xac\\xa1\\xe5\\xb9\\xb3\\xe5\\x9d\\x87"
                                                + station + "\\xe4\\xb8\\x80\\xe5\\x8f\\xb7\\xe7\\xab\\x99"
                                             << "三次平均" << "一号站";
        QTest::newRow("Latin-1, not UTF-8") << method + "三次平均" + station + "M\\xfcller" << "三次平均" << "Müller";
    }
    void oldFileRead()
    {
        QFETCH(QByteArray, file); QFETCH(QString, method); QFETCH(QString, station);
        QVERIFY(testsupport::writeFile(settings::iniPath(), file + "\n"));
        QCOMPARE(settings::storedFreeAccelMethod().name, method);
        QCOMPARE(settings::stationName(), station);
        // A write of another key leaves both readable in the file too.
        settings::storeServerAddress(QStringLiteral("127.0.0.9"));
        QCOMPARE(settings::storedFreeAccelMethod().name, method);
        QCOMPARE(settings::stationName(), station);
        QVERIFY2(fileBytes().contains("Name=" + station.toUtf8() + "\n"), fileBytes().constData());
    }

    // The token lets a client start tests: a file holding it is its owner's
    // alone after every write, whoever made it so.
    void tokenFileMode_data()
    {
        QTest::addColumn<int>("before");  // the file's mode first; 0: no file
        QTest::addColumn<QString>("writer");
        QTest::addColumn<int>("after");
        QTest::newRow("new token at start, no file") << 0 << "start" << 0600;
        QTest::newRow("new token at start, file 0644") << 0644 << "start" << 0600;
        QTest::newRow("another key beside a token") << 0664 << "other" << 0600;
        QTest::newRow("no token: mode kept") << 0644 << "none" << 0644;
    }
    void tokenFileMode()
    {
        QFETCH(int, before); QFETCH(QString, writer); QFETCH(int, after);
        if (before) {
            QVERIFY(testsupport::writeFile(settings::iniPath(), writer == "other" ? "[Api]\nToken=0123456789abcdef0123456789abcdef\n" : "[UI]\nLanguage=zh\n"));
            QCOMPARE(::chmod(QFile::encodeName(settings::iniPath()).constData(), mode_t(before)), 0);
        }
        if (writer == "start")
            QCOMPARE(settings::storedApiSettings().token.size(), settings::ApiTokenLength);
        else
            settings::storeServerAddress(QStringLiteral("127.0.0.9"));
        QCOMPARE(QString::number(fileMode(), 8), QString::number(after, 8));
    }

private:
    std::unique_ptr<testsupport::ScopedWorkDir> dir;
};

OPA_TEST_CLASS(tst_SettingsFile)
#include "settingsfile.moc"
