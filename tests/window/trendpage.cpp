#include <QtTest>

#include "support/testrunner.h"

#include <QtCharts/QChart>
#include <QtCharts/QXYSeries>

#include "app/mainwindow.h"
#include "app/trendpage.h"
#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

using QtCharts::QXYSeries;

// The live curve: what the window's replies put on it, over which minute.
class TrendPageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SocketClient::overrideLocalAddress([] { return QString(); }); }
    void keepsTheLastMinute();
};

void TrendPageTest::keepsTheLastMinute()
{
    testsupport::ScopedWorkDir dir;
    mainwindow w;
    MainWindowTestAccess a(w);
    auto *page = w.findChild<TrendPage *>();
    QVERIFY(page);
    qint64 now = 0;
    page->setClock([&] { return now; });

    // One reply a second for 90 s, N counting the seconds; every third has no K.
    for (int s = 0; s <= 90; ++s, now += 1000)
        a.seraildata(testsupport::measurementReply(s * 100, 0, s % 3 ? 250 : -1, 25, 30, 9));
    now -= 1000;
    page->refresh();
    auto *n = static_cast<QXYSeries *>(page->chart()->series().at(0));
    auto *k = static_cast<QXYSeries *>(page->chart()->series().at(1));
    QCOMPARE(n->count(), 61);  // seconds 30 to 90
    QCOMPARE(n->at(0), QPointF(-60, 30));
    QCOMPARE(n->at(60), QPointF(0, 90));
    QCOMPARE(k->count(), 40);  // the same less the 21 without K
    QCOMPARE(k->at(0), QPointF(-59, 2.5));

    // The curve moves on with the clock when the replies stop.
    now += 30000;
    page->refresh();
    QCOMPARE(n->count(), 31);
    QCOMPARE(n->at(0).x(), -60.0);
}

OPA_TEST_CLASS(TrendPageTest)
#include "trendpage.moc"
