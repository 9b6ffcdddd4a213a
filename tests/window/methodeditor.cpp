#include <QtTest>

#include "support/testrunner.h"

#include <QtWidgets>

#include "app/methodeditor.h"
#include "config/settings.h"
#include "lane/lanesession.h"  // FreeAccelMethod as a test column
#include "support/testsupport.h"
#include "ui_freeaccelpage.h"

// The method as the operator edits it on the free-acceleration page (the
// page's own form): what its rules are called, what it announces as chosen,
// and what a running series locks.
class tst_MethodEditor : public QObject
{
    Q_OBJECT

    testsupport::ScopedWorkDir dir;
    QWidget page;
    Ui::FreeAccelPage ui;
    MethodEditor *editor = nullptr;
    FreeAccelMethod announced;

    void edit(const FreeAccelMethod &stored)
    {
        ui.setupUi(&page);
        editor = new MethodEditor({ui.freeAccelMethod, ui.freeAccelCounted, ui.freeAccelBand,
                                   ui.freeAccelMaxSnaps, ui.freeAccelRejectDecreasing,
                                   ui.freeAccelManualLimit, ui.freeAccelManualLimitK},
                                  stored, &page);
        connect(editor, &MethodEditor::chosen, this, [this](const FreeAccelMethod &m) { announced = m; });
    }

private slots:
    void cleanup() { qDeleteAll(page.children()); }

    // One control changed from a stored method.
    void editNamesTheRules_data()
    {
        QTest::addColumn<FreeAccelMethod>("start");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QVariant>("value");  // a box's index, a check box's state, a spin box's value
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("counted");
        QTest::addColumn<int>("maxSnaps");
        QTest::addColumn<bool>("hasLimit");
        const FreeAccelMethod r24 = FreeAccelMethod::r24();
        FreeAccelMethod nearThreeMean = FreeAccelMethod::threeMean();
        nearThreeMean.name = FreeAccelMethod::CustomName;
        nearThreeMean.maxSnaps = 5;
        FreeAccelMethod ownWithLimit = nearThreeMean;
        ownWithLimit.counted = 2;
        ownWithLimit.hasLimit = true;
        const QString own = FreeAccelMethod::CustomName, threeMean = FreeAccelMethod::threeMean().name;
        QTest::newRow("off a preset: the operator's own")
            << r24 << "freeAccelCounted" << QVariant(2) << own << 2 << 10 << false;
        QTest::newRow("a limit is no rule: preset kept")
            << r24 << "freeAccelManualLimit" << QVariant(true) << r24.name << 4 << 10 << true;
        QTest::newRow("back on a preset's rules: its name")
            << nearThreeMean << "freeAccelMaxSnaps" << QVariant(10) << threeMean << 3 << 10 << false;
        QTest::newRow("counted above the most snaps: raised with it")
            << nearThreeMean << "freeAccelCounted" << QVariant(7) << own << 7 << 7 << false;
        QTest::newRow("a preset chosen keeps the limit")
            << ownWithLimit << "freeAccelMethod" << QVariant(1) << threeMean << 3 << 10 << true;
    }
    void editNamesTheRules()
    {
        QFETCH(FreeAccelMethod, start); QFETCH(QString, control); QFETCH(QVariant, value);
        QFETCH(QString, name); QFETCH(int, counted); QFETCH(int, maxSnaps); QFETCH(bool, hasLimit);
        edit(start);
        QWidget *w = page.findChild<QWidget *>(control);
        if (auto *box = qobject_cast<QComboBox *>(w)) {
            box->setCurrentIndex(value.toInt());
            emit box->activated(value.toInt());
        } else {
            QVERIFY(w->setProperty(qobject_cast<QCheckBox *>(w) ? "checked" : "value", value));
        }
        const FreeAccelMethod stored = announced;
        const QString shownName = ui.freeAccelMethod->currentData().toString();
        QCOMPARE(QStringList({stored.name, editor->method().name, shownName}), QStringList({name, name, name}));
        QCOMPARE(QVector<int>({stored.counted, stored.maxSnaps, ui.freeAccelMaxSnaps->value()}),
                 QVector<int>({counted, maxSnaps, maxSnaps}));
        QCOMPARE(editor->manualLimit().has_value(), hasLimit);
        QCOMPARE(stored.hasLimit, hasLimit);
    }

    // The limit's value is open only while "手动" is ticked, and nothing while a series runs.
    void lockedWhileRunning()
    {
        edit(FreeAccelMethod::r24());
        const auto open = [this] {
            QVector<bool> on;
            const QRegularExpression method("^freeAccel(Method|Counted|Band|MaxSnaps|Reject|Manual)");
            for (QWidget *w : page.findChildren<QWidget *>(method))
                on << w->isEnabled();
            return on;
        };
        QCOMPARE(open(), QVector<bool>({true, true, true, true, true, true, false}));
        ui.freeAccelManualLimit->setChecked(true);
        editor->setEditable(false);
        QCOMPARE(open(), QVector<bool>(7, false));
        editor->setEditable(true);
        QCOMPARE(open(), QVector<bool>(7, true));
    }
};

OPA_TEST_CLASS(tst_MethodEditor)
#include "methodeditor.moc"
