#include <QtTest>

#include "e2e/e2eharness.h"
#include "support/testrunner.h"

// The program against the simulated meter and the companion tool, each a
// process of its own; the program runs in the test so that its form can be
// read. A calibration against the simulator is tst_StrayBytesEndToEnd's.
class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void valuesFollowSimulator_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::newRow("clean") << QStringList();
        QTest::newRow("one byte at a time") << QStringList{"--split", "1"};
        QTest::newRow("stray bytes") << QStringList{"--garbage"};
    }

    void valuesFollowSimulator()
    {
        QFETCH(QStringList, faults);
        e2e::Session s;
        QVERIFY(s.start(QStringList{"--scenario", "steady", "--n", "12.34", "--ns", "56.7", "--k", "1.5",
                                    "--chamber", "41", "--smoke", "88", "--energy", "3000"} + faults));
        auto &ui = s.ui();
        QVERIFY(QTest::qWaitFor([&] {
            QStringList shown;
            for (QLabel *l : {ui.label_Nt, ui.label_Nst, ui.label_Kt, ui.label_airroomt, ui.label_smoket, ui.label_Ad})
                shown << l->text();
            return shown.join('|') == "12.34|56.7|1.5|41|88|3000";
        }, 5000));
        // Polling goes on at ten a second.
        const int polls = s.commands().count("213300AC");
        QVERIFY(s.waitForCommand("213300AC", polls + 10));
    }

    void companion()
    {
        e2e::Session s;
        QVERIFY(s.start({"--scenario", "steady"}));
        QVERIFY(QTest::qWaitFor([&] { return s.ui().label_Nt->text() == "12.34"; }, 5000));
        // A publication request, then the companion reads what the program published.
        QByteArray out;
        QCOMPARE(e2e::runTool(QStringLiteral(OPA_SHM_PATH), {"send", "213300AC"}), 0);
        QCOMPARE(e2e::runTool(QStringLiteral(OPA_SHM_PATH), {"read"}, &out), 0);
        QVERIFY2(out.toUpper().contains("06330AD20464002C01191E000817"), out.constData());
        // Any other 4-byte command is forwarded unchanged, wrong checksum and all.
        QCOMPARE(e2e::runTool(QStringLiteral(OPA_SHM_PATH), {"send", "21AB0000"}), 0);
        QVERIFY(s.waitForCommand("21AB0000"));
    }
};

OPA_TEST_CLASS(tst_EndToEnd)
#include "endtoend.moc"
