#include <QtTest>

#include "api/apibridge.h"
#include "api/apiserver.h"
#include "support/apirig.h"
#include "lane/dailychecks.h"
#include "lane/lanesession.h"
#include "support/testrunner.h"
#include "support/testsupport.h"

using apirig::cmd;
using apirig::said;
using apirig::withToken;

namespace {

// The real session, its checks (a filter F50, the filter check due daily,
// tests locked until it passes) and the bridge on 127.0.0.1.
struct Lane : testsupport::ClockedLane {
    DailyChecks checks{&session};
    ApiBridge bridge{&session, QStringLiteral("records.sqlite")};

    Lane()
    {
        CheckRules rules;
        rules.daily = {CheckKind::Filter};
        checks.setRules(rules);
        checks.setRequired(true);
        checks.setFilters({{QStringLiteral("F50"), 50.0, QStringLiteral("ZJ2026-118"), QDate(2027, 6, 30)},
                           {QStringLiteral("OLD"), 30.0, QStringLiteral("ZJ2020-1"), QDate(2026, 1, 1)}});
        session.setStartGate([this] { return checks.refusesTest(); });
        bridge.setDailyChecks(&checks);
        bridge.start(apirig::onLoopback());
        emit session.linkChanged(LinkKeeper::State::Connected, QStringLiteral("127.0.0.1"));
        feed(0, 1);
    }
};

QJsonObject startTest()
{
    return withToken(cmd("startTest", {{"operator", "Li"}, {"vehicle", QJsonObject{{"plate", "A1"}, {"category", "N1"}}}}));
}

} // namespace

// The daily checks through the API: startCheck's answers, the check message
// when one ends, and startTest refused until the day's checks have passed.
class tst_ApiDailyChecks : public QObject
{
    Q_OBJECT

private slots:
    void startCheckRefused_data()
    {
        QTest::addColumn<QJsonObject>("command");
        QTest::addColumn<QString>("error");
        QTest::newRow("no token") << cmd("startCheck", {{"kind", "zero"}}) << "token: missing";
        QTest::newRow("unknown kind") << withToken(cmd("startCheck", {{"kind", "smoke"}})) << "kind: one of zero, filter, response";
        QTest::newRow("filter unnamed") << withToken(cmd("startCheck", {{"kind", "filter"}})) << "filter: missing";
        QTest::newRow("filter with zero") << withToken(cmd("startCheck", {{"kind", "zero"}, {"filter", "F50"}})) << "filter: only for the filter check";
        QTest::newRow("filter overdue") << withToken(cmd("startCheck", {{"kind", "filter"}, {"filter", "OLD"}})) << "滤光片 OLD 的检定已于 2026-01-01 到期，不能使用";
        QTest::newRow("filter unknown") << withToken(cmd("startCheck", {{"kind", "filter"}, {"filter", "F9"}})) << "没有滤光片 F9";
    }
    void startCheckRefused()
    {
        QFETCH(QJsonObject, command); QFETCH(QString, error);
        Lane lane;
        apirig::Peer peer(*lane.bridge.server());
        const QString answer = said(peer.ask(command));
        QVERIFY2(answer.contains(error), qPrintable(answer));
        QVERIFY(!lane.checks.running());
    }

    // Refused before, a check started and announced when it ends, then
    // allowed: the lock and the message in one day's order.
    void checkThenTest()
    {
        Lane lane;
        apirig::Peer peer(*lane.bridge.server());
        QCOMPARE(said(peer.ask(startTest())), QStringLiteral("refused: the daily checks are not done"));
        QVERIFY(!lane.session.testRunning());

        QCOMPARE(said(peer.ask(withToken(cmd("startCheck", {{"kind", "filter"}, {"filter", "F50"}})))), QStringLiteral("ok"));
        QVERIFY(lane.checks.running());
        QCOMPARE(said(peer.ask(startTest())), QStringLiteral("refused: a daily check is running"));
        lane.feed(50.5, 6);
        const QJsonObject check = peer.waitType("check");
        QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5").arg(check.value("kind").toString()).arg(check.value("passed") == QJsonValue(true) ? "passed" : "not passed").arg(check.value("meanN").toDouble())
                     .arg(check.value("limits").toObject().value("tolerance").toDouble()).arg(check.value("id").toString().size()),
                 QStringLiteral("filter passed 50.5 2 36"));

        QCOMPARE(said(peer.ask(startTest())), QStringLiteral("ok"));
        QVERIFY(lane.session.testRunning());
    }
};

OPA_TEST_CLASS(tst_ApiDailyChecks)

#include "dailychecks.moc"
