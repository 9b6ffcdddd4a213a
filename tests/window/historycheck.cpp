#include <QtTest>

#include "support/testrunner.h"

#include <QtWidgets>

#include "app/historymodel.h"
#include "app/historypage.h"
#include "lane/lanesession.h"
#include "lane/recordmaker.h"
#include "support/recordfixtures.h"
#include "support/testsupport.h"

// A record whose stored row was changed by hand says so in the history in
// place of its verdict; the others show as before.
class tst_HistoryCheck : public QObject
{
    Q_OBJECT

private slots:
    void changedRecordMarked()
    {
        testsupport::ScopedWorkDir work;
        const TestRecord changed = fixtures::record(QStringLiteral("京A12345"), 0);
        const TestRecord kept = fixtures::record(QStringLiteral("沪C11111"), 10);
        {
            RecordStore store;
            QVERIFY(store.open(QStringLiteral("history.sqlite")) && store.store(changed) && store.store(kept));
        }
        {
            fixtures::OtherConnection person(QStringLiteral("history.sqlite"));
            QVERIFY(person.exec("DROP TRIGGER records_kept_unchanged"));
            QVERIFY(person.exec(QStringLiteral("UPDATE records SET verdict = 'pass', mean_k = 1.14 WHERE id = '%1'").arg(changed.id)));
        }
        LaneSession session;
        RecordMaker recordMaker(&session, QStringLiteral("history.sqlite"));
        HistoryPage page(&recordMaker, nullptr);
        page.resize(600, 400);
        page.show();
        auto *view = page.findChild<QTableView *>("historyView");
        const auto verdicts = [view] {
            QStringList shown;
            for (int row = 0; row < view->model()->rowCount(); ++row)
                shown << view->model()->index(row, HistoryModel::Verdict).data().toString();
            return shown;
        };
        const QStringList expected{QStringLiteral("不合格"), QStringLiteral("记录校验失败")};
        if (!QTest::qWaitFor([&] { return verdicts() == expected; }, 5000))
            QCOMPARE(verdicts(), expected);
        const QModelIndex marked = view->model()->index(1, HistoryModel::Result);
        QVERIFY(marked.data(Qt::ToolTipRole).toString().contains(QStringLiteral("mean_k")));
        QVERIFY(marked.data(Qt::ForegroundRole).isValid());
        QVERIFY(!view->model()->index(0, HistoryModel::Result).data(Qt::ForegroundRole).isValid());
    }
};

OPA_TEST_CLASS(tst_HistoryCheck)
#include "historycheck.moc"
