#include <QtTest>

#include "support/testrunner.h"

#include <QtWidgets>

#include "app/methodeditor.h"
#include "config/settings.h"
#include "lane/lanesession.h"  // FreeAccelMethod as a test column
#include "support/testsupport.h"
#include "ui_freeaccelpage.h"

namespace {

// The page's own form, with the editor over its method controls, in a
// working folder whose set.ini holds 'stored'.
struct EditedForm {
    explicit EditedForm(const FreeAccelMethod &stored)
    {
        settings::storeFreeAccelMethod(stored);
        ui.setupUi(&page);
        editor = new MethodEditor({ui.freeAccelMethod, ui.freeAccelCounted, ui.freeAccelBand,
                                   ui.freeAccelMaxSnaps, ui.freeAccelRejectDecreasing,
                                   ui.freeAccelManualLimit, ui.freeAccelManualLimitK},
                                  &page);
    }
    QWidget page;
    Ui::FreeAccelPage ui;
    MethodEditor *editor = nullptr;
};

FreeAccelMethod custom(int counted, double band, bool rejectDecreasing, int maxSnaps)
{
    FreeAccelMethod m;
    m.name = FreeAccelMethod::CustomName;
    m.counted = counted;
    m.band = band;
    m.rejectDecreasing = rejectDecreasing;
    m.maxSnaps = maxSnaps;
    return m;
}

} // namespace

// The method as the operator edits it on the free-acceleration page: what
// its rules are called, what set.ini keeps, and what a running series locks.
class MethodEditorTest : public QObject
{
    Q_OBJECT

private slots:
    // One control changed from a stored method.
    void editNamesTheRules_data()
    {
        QTest::addColumn<FreeAccelMethod>("start");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("counted");
        QTest::addColumn<int>("maxSnaps");
        QTest::addColumn<bool>("hasLimit");
        const FreeAccelMethod r24 = FreeAccelMethod::r24();
        const FreeAccelMethod nearThreeMean = custom(3, 0.5, false, 5);
        const QString own = FreeAccelMethod::CustomName;
        QTest::newRow("off a preset: the operator's own") << r24 << "freeAccelCounted" << QVariant(2) << own << 2 << 10 << false;
        QTest::newRow("a limit is no rule: preset kept") << r24 << "freeAccelManualLimit" << QVariant(true) << r24.name << 4 << 10 << true;
        QTest::newRow("back on a preset's rules: its name")
            << nearThreeMean << "freeAccelMaxSnaps" << QVariant(10) << FreeAccelMethod::threeMean().name << 3 << 10 << false;
        QTest::newRow("counted above the most snaps: raised with it")
            << nearThreeMean << "freeAccelCounted" << QVariant(7) << own << 7 << 7 << false;
    }
    void editNamesTheRules()
    {
        QFETCH(FreeAccelMethod, start); QFETCH(QString, control); QFETCH(QVariant, value);
        QFETCH(QString, name); QFETCH(int, counted); QFETCH(int, maxSnaps); QFETCH(bool, hasLimit);
        testsupport::ScopedWorkDir dir;
        EditedForm form(start);
        QWidget *w = form.page.findChild<QWidget *>(control);
        QVERIFY(w->setProperty(qobject_cast<QCheckBox *>(w) ? "checked" : "value", value));
        const FreeAccelMethod stored = settings::storedFreeAccelMethod();
        QCOMPARE(QStringList({stored.name, form.editor->method().name, form.ui.freeAccelMethod->currentData().toString()}),
                 QStringList({name, name, name}));
        QCOMPARE(QVector<int>({stored.counted, stored.maxSnaps, form.ui.freeAccelMaxSnaps->value()}),
                 QVector<int>({counted, maxSnaps, maxSnaps}));
        QCOMPARE(stored.hasLimit, hasLimit);
    }

    // A preset chosen takes its rules and leaves the limit set by hand.
    void presetKeepsTheManualLimit()
    {
        testsupport::ScopedWorkDir dir;
        FreeAccelMethod start = custom(2, 0.3, true, 8);
        start.hasLimit = true;
        start.limitK = 1.75;
        EditedForm form(start);
        QCOMPARE(form.ui.freeAccelMethod->currentText(), QStringLiteral("自定义"));
        const int threeMean = form.ui.freeAccelMethod->findData(FreeAccelMethod::threeMean().name);
        form.ui.freeAccelMethod->setCurrentIndex(threeMean);
        emit form.ui.freeAccelMethod->activated(threeMean);
        const FreeAccelMethod stored = settings::storedFreeAccelMethod();
        QVERIFY(stored.sameRules(FreeAccelMethod::threeMean()));
        QCOMPARE(stored.name, FreeAccelMethod::threeMean().name);
        QVERIFY(stored.hasLimit);
        QCOMPARE(stored.limitK, 1.75);
        QCOMPARE(form.editor->manualLimit(), std::optional<double>(1.75));
    }

    // The limit's value is editable only while "手动" is ticked, and nothing
    // while a series runs.
    void lockedWhileRunning()
    {
        testsupport::ScopedWorkDir dir;
        EditedForm form(FreeAccelMethod::r24());
        const QList<QWidget *> rules{form.ui.freeAccelMethod, form.ui.freeAccelCounted, form.ui.freeAccelBand,
                                     form.ui.freeAccelMaxSnaps, form.ui.freeAccelRejectDecreasing,
                                     form.ui.freeAccelManualLimit};
        const auto enabled = [&] {
            QVector<bool> on;
            for (QWidget *w : rules)
                on << w->isEnabled();
            return on << form.ui.freeAccelManualLimitK->isEnabled();
        };
        QCOMPARE(enabled(), QVector<bool>({true, true, true, true, true, true, false}));
        QCOMPARE(form.editor->manualLimit(), std::optional<double>());
        form.ui.freeAccelManualLimit->setChecked(true);
        form.editor->setEditable(false);
        QCOMPARE(enabled(), QVector<bool>(7, false));
        form.editor->setEditable(true);
        QCOMPARE(enabled(), QVector<bool>(7, true));
        form.ui.freeAccelManualLimit->setChecked(false);
        form.editor->setEditable(true);
        QCOMPARE(enabled(), QVector<bool>({true, true, true, true, true, true, false}));
    }
};

OPA_TEST_CLASS(MethodEditorTest)
#include "methodeditor.moc"
