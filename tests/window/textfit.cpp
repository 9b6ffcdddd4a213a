#include <QtTest>

#include "support/testrunner.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>

#include "app/mainwindow.h"
#include "app/textfit.h"
#include "support/testsupport.h"

// Captions and button texts whole, whatever name the system gives the form's typeface.
class tst_TextFit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { QFont::removeSubstitutions(TextFit::formFamily()); mapSystemFamilies(); }

    void mapping_data();
    void mapping();

    void textFits_data();
    void textFits();

private:
    QStringList mapSystemFamilies() { return TextFit::mapFormFamily(QFontDatabase().families()); }
    testsupport::ScopedWorkDir workDir;
};

void tst_TextFit::initTestCase()
{
    QFile::copy(QFINDTESTDATA("../../app/images/ang.png"), workDir.filePath("ang.png"));
    QFile::copy(QFINDTESTDATA("../../app/images/time.png"), workDir.filePath("time.png"));
    const QStringList mapped = mapSystemFamilies();  // as main() does
    QVERIFY2(!mapped.isEmpty(), "no CJK sans face: is fonts-noto-cjk installed?");
    QVERIFY(mapped.contains(QFontInfo(QFont(TextFit::formFamily())).family()));
}

void tst_TextFit::mapping_data()
{
    QTest::addColumn<QStringList>("known");
    QTest::addColumn<QStringList>("mapped");
    const QString noto = QStringLiteral("Noto Sans CJK SC"), han = QStringLiteral("Source Han Sans SC");
    QTest::newRow("Debian's name") << QStringList{"DejaVu Sans", noto} << QStringList{noto};
    QTest::newRow("Adobe's name first") << QStringList{noto, han} << QStringList{han, noto};
    QTest::newRow("found as is") << QStringList{noto, TextFit::formFamily()} << QStringList{};
    QTest::newRow("no such typeface") << QStringList{"DejaVu Sans"} << QStringList{};
}

void tst_TextFit::mapping()
{
    QFETCH(QStringList, known);
    QFETCH(QStringList, mapped);
    QFont::removeSubstitutions(TextFit::formFamily());
    QCOMPARE(TextFit::mapFormFamily(known), mapped);
    QCOMPARE(QFont::substitutes(TextFit::formFamily()).join('|'), mapped.join('|').toLower());
}

// Each label and button of the form against the same form without fitting:
// it fits its text, and only a widget that did not fit has grown, over its old box.
void tst_TextFit::textFits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("formBox");
    QMainWindow bare;
    Ui::mainwindowClass form;
    form.setupUi(&bare);
    for (QWidget *w : bare.findChildren<QWidget *>()) {
        if (qobject_cast<QLabel *>(w) || qobject_cast<QPushButton *>(w))
            QTest::newRow(qPrintable(w->objectName())) << w->objectName() << w->geometry();
    }
}

void tst_TextFit::textFits()
{
    QFETCH(QString, name);
    QFETCH(QRect, formBox);
    mainwindow window;
    auto *w = window.findChild<QWidget *>(name);
    QVERIFY(w);
    const QSize hint = w->sizeHint();
    QVERIFY(w->width() >= hint.width());
    QVERIFY(w->height() >= hint.height());
    QVERIFY(w->geometry().contains(formBox));
    if (formBox.width() >= hint.width() && formBox.height() >= hint.height())
        QCOMPARE(w->geometry(), formBox);
    QCOMPARE(window.size(), QSize(603, 465));
}

OPA_TEST_CLASS(tst_TextFit)
#include "textfit.moc"
