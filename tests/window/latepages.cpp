#include <QtTest>

#include "support/testrunner.h"

#include <QLabel>
#include <QTableWidget>
#include <QtCharts/QChart>
#include <QtCharts/QXYSeries>

#include "app/lazytab.h"
#include "app/trendpage.h"
#include "net/socketclient.h"
#include "support/discoveryhelpers.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// The pages beside the form are built when first shown; what happened
// before that is on them all the same.
class LatePagesTest : public QObject
{
    Q_OBJECT

private slots:
    // The window sweeps 127.0.0.x only.
    void init() { SocketClient::overrideLocalAddress([] { return discoverytest::loopback(7); }); }
    void cleanup() { QVERIFY(QThreadPool::globalInstance()->waitForDone(20000)); }

    // A series and a recording (Ctrl+R) run before either page existed:
    // the curve, the counted peaks, the snaps, the result and the recording
    // are all there once the pages are built. A tab shown builds its own
    // page only.
    void builtLateShowsWhatItMissed()
    {
        testsupport::ScopedWorkDir dir;
        mainwindow w;
        MainWindowTestAccess a(w);
        testsupport::ManualLaneClock clock;
        clock.drive(*a.session());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(a.session()->isRecording());
        QVERIFY(a.session()->startTest(FreeAccelMethod::r24()));
        // Idle, then four snaps in band: R24 counts all four, mean 1.44.
        const QVector<double> k = testsupport::snapCurve({1.50, 1.40, 1.45, 1.42});
        for (double value : k) {
            a.seraildata(testsupport::measurementReply(qint16(qRound(value * 50)), 0,
                                                       qint16(qRound(value * 100)), 20, 21, 100));
            clock.ms += 100;
        }
        QVERIFY(!a.session()->testRunning());
        auto *trendTab = w.findChild<LazyTab *>("trendTab");
        auto *freeAccel = w.findChild<LazyTab *>("freeAccelTab");
        QVERIFY(!trendTab->isBuilt() && !freeAccel->isBuilt() && !w.findChild<TrendPage *>());
        a.ui().tabWidget->setCurrentWidget(trendTab);
        QVERIFY(trendTab->isBuilt() && !freeAccel->isBuilt());

        auto *snaps = freeAccel->page()->findChild<QTableWidget *>("freeAccelSnaps");
        QCOMPARE(snaps->rowCount(), 4);
        for (int row = 0; row < 4; ++row)
            QCOMPARE(snaps->item(row, 4)->text(), QStringLiteral("✔"));
        QCOMPARE(snaps->item(2, 2)->text(), QStringLiteral("1.45"));
        QCOMPARE(freeAccel->page()->findChild<QLabel *>("freeAccelPrompt")->text(), QStringLiteral("测量完成"));
        QVERIFY(freeAccel->page()->findChild<QLabel *>("freeAccelResult")->text().contains("1.44"));

        auto *trend = qobject_cast<TrendPage *>(trendTab->page());
        trend->refresh();
        const QList<QtCharts::QAbstractSeries *> series = trend->chart()->series();
        QCOMPARE(static_cast<QtCharts::QXYSeries *>(series.at(0))->count(), k.size());
        QCOMPARE(static_cast<QtCharts::QXYSeries *>(series.at(1))->count(), k.size());
        const QVector<QPointF> peaks = static_cast<QtCharts::QXYSeries *>(series.at(2))->pointsVector();
        QCOMPARE(peaks.size(), 4);
        QCOMPARE(peaks.at(0).y(), 1.50);
        QVERIFY2(peaks.at(0).x() > -k.size() / 10.0 && peaks.at(3).x() < 0, qPrintable(QString::number(peaks.at(3).x())));
        QCOMPARE(trend->findChild<QLabel *>("recordStatus")->text(),
                 QStringLiteral("记录中：20260501-083000.csv，%1 行").arg(k.size()));
    }
};

OPA_TEST_CLASS(LatePagesTest)
#include "latepages.moc"
