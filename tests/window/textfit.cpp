#include <QtTest>

#include "support/testrunner.h"

#include <QFontDatabase>

#include "app/mainwindow.h"
#include "app/textfit.h"

// Captions and button texts whole, whatever name the system gives the form's typeface.
class tst_TextFit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QStringList mapped = TextFit::mapFormFamily(QFontDatabase().families());  // as main()
        QVERIFY2(mapped.contains(QFontInfo(QFont(TextFit::formFamily())).family()), "fonts-noto-cjk?");
    }
    void cleanup() { QFont::removeSubstitutions(TextFit::formFamily()); initTestCase(); }

    void mapping_data()
    {
        QTest::addColumn<QStringList>("known");
        QTest::addColumn<QStringList>("mapped");
        const QString noto = "Noto Sans CJK SC", han = "Source Han Sans SC";
        QTest::newRow("Debian's name") << QStringList{"DejaVu Sans", noto} << QStringList{noto};
        QTest::newRow("Adobe's name first") << QStringList{noto, han} << QStringList{han, noto};
        QTest::newRow("found as is") << QStringList{noto, TextFit::formFamily()} << QStringList{};
    }
    void mapping()
    {
        QFETCH(QStringList, known); QFETCH(QStringList, mapped);
        QFont::removeSubstitutions(TextFit::formFamily());
        QCOMPARE(TextFit::mapFormFamily(known), mapped);
        QCOMPARE(QFont::substitutes(TextFit::formFamily()).join('|'), mapped.join('|').toLower());
    }

    // Each label and button against the same form left as drawn: it fits its
    // text, and only one that did not fit has grown, over its old box.
    void textFits_data()
    {
        QTest::addColumn<QRect>("formBox");
        QMainWindow bare;
        Ui::mainwindowClass form;
        form.setupUi(&bare);
        for (QWidget *w : bare.findChildren<QWidget *>())
            if (qobject_cast<QLabel *>(w) || qobject_cast<QPushButton *>(w))
                QTest::newRow(qPrintable(w->objectName())) << w->geometry();
    }
    void textFits()
    {
        QFETCH(QRect, formBox);
        mainwindow window;
        auto *w = window.findChild<QWidget *>(QTest::currentDataTag());
        const QSize hint = w->sizeHint();
        QVERIFY(w->width() >= hint.width() && w->height() >= hint.height());
        const bool fitted = formBox.width() >= hint.width() && formBox.height() >= hint.height();
        QVERIFY(fitted ? w->geometry() == formBox : w->geometry().contains(formBox));
    }
};

OPA_TEST_CLASS(tst_TextFit)
#include "textfit.moc"
