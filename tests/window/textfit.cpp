#include <QtTest>

#include "support/testrunner.h"

#include "app/mainwindow.h"
#include "app/textfit.h"
#include "language/language.h"

// Captions and button texts whole, whatever name the system gives the form's typeface.
class tst_TextFit : public QObject
{
    Q_OBJECT

private slots:
    // The form's family drawn with the typeface this system has under another name.
    void initTestCase()
    {
        QFont::removeSubstitutions(TextFit::formFamily());
        const QString before = QFontInfo(QFont(TextFit::formFamily())).family();
        TextFit::useFormFamily();  // as main()
        const QString shown = QFontInfo(QFont(TextFit::formFamily())).family();
        QVERIFY2(shown != before && shown.contains("CJK"), qPrintable(before + " -> " + shown + ": fonts-noto-cjk?"));
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
        // The pages behind the one in front are fitted once the window is up.
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *w = window.findChild<QWidget *>(QTest::currentDataTag());
        const QSize hint = w->sizeHint();
        QVERIFY(w->width() >= hint.width() && w->height() >= hint.height());
        const bool fitted = formBox.width() >= hint.width() && formBox.height() >= hint.height();
        QVERIFY(fitted ? w->geometry() == formBox : w->geometry().contains(formBox));
    }

    // A page behind brought to the front before the window is up, in the
    // language with the longer texts: whole at once, some grown to be.
    void pageBroughtToFront()
    {
        QMainWindow bare;
        Ui::mainwindowClass form;
        form.setupUi(&bare);
        mainwindow window;
        QVERIFY(Language::switchTo(QStringLiteral("en")));
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QWidget *page = window.findChild<QWidget *>(QStringLiteral("tab_3"));
        tabs->setCurrentWidget(page);
        int grown = 0;
        for (QWidget *w : page->findChildren<QWidget *>()) {
            auto *label = qobject_cast<QLabel *>(w);
            if ((!label || label->text().isEmpty()) && !qobject_cast<QPushButton *>(w))
                continue;
            QVERIFY2(w->width() >= w->sizeHint().width() && w->height() >= w->sizeHint().height(), qPrintable(w->objectName()));
            grown += w->geometry() != bare.findChild<QWidget *>(w->objectName())->geometry();
        }
        Language::switchTo(QStringLiteral("zh"));
        QVERIFY(grown > 0);
    }
};

OPA_TEST_CLASS(tst_TextFit)
#include "textfit.moc"
