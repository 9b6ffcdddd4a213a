#include <QtTest>

#include "support/testrunner.h"

#include <QtCharts/QChart>
#include <QtCharts/QXYSeries>

#include "app/trendpage.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// The live curve: the window's replies on it, over the last minute by the session's clock.
class TrendPageTest : public QObject
{
    Q_OBJECT

private slots:
    void keepsTheLastMinuteAndSavesIt()
    {
        mainwindow w;
        MainWindowTestAccess a(w);
        auto *page = a.showPage<TrendPage>("trendTab");
        testsupport::ManualLaneClock clock;
        qint64 &now = clock.ms;
        clock.drive(*a.session());
        // One reply a second for 90 s, N counting the seconds; every third has no K.
        for (int s = 0; s <= 90; ++s, now += 1000)
            a.seraildata(testsupport::measurementReply(s * 100, 0, s % 3 ? 250 : -1, 25, 30, 9));
        now -= 1000;
        page->refresh();
        auto *n = static_cast<QtCharts::QXYSeries *>(page->chart()->series().at(0));
        auto *k = static_cast<QtCharts::QXYSeries *>(page->chart()->series().at(1));
        QCOMPARE(n->count(), 61);
        QCOMPARE(n->pointsVector().mid(0, 2), (QVector<QPointF>{{-60, 30}, {-59, 31}}));
        QCOMPARE(k->count(), 40);  // the 61 less the 21 without K
        QCOMPARE(k->at(0), QPointF(-59, 2.5));
        // The curve moves on with the clock when the replies stop.
        now += 30000;
        page->refresh();
        QCOMPARE(n->pointsVector().mid(0, 1), (QVector<QPointF>{{-60, 60}}));
        testsupport::ScopedWorkDir dir;
        QVERIFY(page->savePicture("trend.png") && QImage("trend.png").width() > 400);
        // Once stopped, the page names the recording and its rows.
        auto *status = page->findChild<QLabel *>("recordStatus");
        page->toggleRecording();
        a.seraildata(testsupport::measurementReply(100, 0, 20, 25, 30, 9));
        page->toggleRecording();
        QVERIFY2(status->text().startsWith("已记录：") && status->text().endsWith("1 行"),
                 qPrintable(status->text()));
    }
};

OPA_TEST_CLASS(TrendPageTest)
#include "trendpage.moc"
