// A lane's keeper in a process of its own, so that a test can kill it the
// way a power cut or `kill -9` would: keeps one record against the given
// database and unsaved folder, says "refused ID" (once the record's file
// is in the unsaved folder; "refused, not on disk" before) or "stored ID" on
// stdout as the database answers, and waits to be killed.
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

#include "support/recordfixtures.h"
#include "records/recordkeeper.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: keeperpeer DATABASE UNSAVED-FOLDER\n");
        return 2;
    }
    RecordKeeper keeper(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    const auto say = [](const char *what, const QString &id) {
        std::printf("%s %s\n", what, qPrintable(id));
        std::fflush(stdout);
    };
    const QString unsaved = QString::fromLocal8Bit(argv[2]);
    QObject::connect(&keeper, &RecordKeeper::recordRefused, [&](const QString &id) {
        say(QFile::exists(unsaved + '/' + id + ".json") ? "refused" : "refused, not on disk", id);
    });
    QObject::connect(&keeper, &RecordKeeper::recordStored, [&](const QString &id) { say("stored", id); });
    keeper.start();
    keeper.keep(fixtures::record());
    return app.exec();
}
