#include <QtTest>

#include "support/testrunner.h"

#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QPushButton>
#include <QTabWidget>

#include "app/mainwindow.h"
#include "net/socketclient.h"
#include "support/testsupport.h"
#include "support/windowaccess.h"

// The main window's form: every widget where the operators expect it.
class tst_Form : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void widget_data();
    void widget();

    void valueLabels();
    void window();
    void tabs();
    void widgetOrder();
    void buttonIcons();
    void clickReachesSlotByName();

private:
    mainwindow *make();
    testsupport::ScopedWorkDir workDir;
    mainwindow *current = nullptr;
};

void tst_Form::initTestCase()
{
    SocketClient::overrideLocalAddress([] { return QString(); });
    QFile::copy(QFINDTESTDATA("../../app/images/ang.png"), workDir.filePath("ang.png"));
    QFile::copy(QFINDTESTDATA("../../app/images/time.png"), workDir.filePath("time.png"));
}

void tst_Form::cleanup()
{
    delete current;
    current = nullptr;
}

mainwindow *tst_Form::make()
{
    delete current;
    current = new mainwindow;
    return current;
}

void tst_Form::widget_data()
{
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("family");   // empty: inherited
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<int>("weight");       // -1: inherited
    QTest::addColumn<QString>("text");

    const QString page1 = QStringLiteral("tab");
    const QString page2 = QStringLiteral("tab_3");
    const QString heiti = QStringLiteral("思源黑体");
    auto row = [](const char *name, const QString &parent, const char *cls, QRect r,
                  const QString &family, int pt, int weight, const QString &text) {
        QTest::newRow(name) << parent << QString::fromLatin1(cls) << r << family << pt << weight
                            << text;
    };
    // Captions and buttons inherit the tab widget's family and size unless set.
    row("frame", "centralWidget", "QFrame", {0, 0, 611, 41}, QString(), 10, -1, QString());
    row("label_7", "frame", "QLabel", {30, 0, 221, 41}, heiti, 14, 50, "透射式烟度计");
    row("tabWidget", "centralWidget", "QTabWidget", {0, 50, 611, 421}, heiti, 12, -1, QString());
    row("adjustButton", page1, "QPushButton", {80, 330, 110, 31}, heiti, 14, 50, "校准");
    row("clearButton", page1, "QPushButton", {260, 330, 111, 31}, heiti, 14, 50, "清除最大值");
    row("refactButton", page1, "QPushButton", {440, 330, 110, 31}, heiti, 14, -1, "恢复出厂");
    row("label_8", page1, "QLabel", {100, 30, 61, 16}, heiti, 12, 75, "K(m-1)");
    row("label_airroomt", page1, "QLabel", {90, 230, 91, 41}, heiti, 12, -1, "");
    row("label_21", page1, "QLabel", {450, 190, 71, 31}, heiti, 15, 50, " 能量值");
    row("label_15", page1, "QLabel", {280, 30, 61, 16}, heiti, 12, 75, "Ns(%)");
    row("label_Nmax", page1, "QLabel", {450, 130, 91, 41}, heiti, 12, -1, "");
    row("label_Ad", page1, "QLabel", {450, 230, 91, 41}, heiti, 12, -1, "");
    row("label_Nt", page1, "QLabel", {450, 60, 91, 41}, heiti, 12, -1, "");
    row("label_Kmax", page1, "QLabel", {90, 130, 91, 41}, heiti, 12, -1, "");
    row("label_25", page1, "QLabel", {9, 68, 61, 31}, heiti, 12, 75, "瞬时值");
    row("label_18", page1, "QLabel", {470, 30, 41, 16}, heiti, 12, 75, "N(%)");
    row("label_Nsmax", page1, "QLabel", {270, 130, 91, 41}, heiti, 12, -1, "");
    row("label_Kt", page1, "QLabel", {90, 60, 91, 41}, heiti, 12, -1, "");
    row("label_26", page1, "QLabel", {10, 140, 61, 31}, heiti, 12, 75, "最大值");
    row("label_Nst", page1, "QLabel", {270, 60, 91, 41}, heiti, 12, -1, "");
    row("label_smoket", page1, "QLabel", {270, 230, 91, 41}, heiti, 12, -1, "");
    row("label_19", page1, "QLabel", {90, 190, 111, 31}, heiti, 14, 50, "气室温度(℃)");
    row("label_20", page1, "QLabel", {270, 190, 111, 31}, heiti, 14, 50, "烟气温度(℃)");
    row("uptestButton", page2, "QPushButton", {30, 330, 131, 31}, heiti, 13, -1, "测量上升时间");
    row("downtestButton", page2, "QPushButton", {230, 330, 131, 31}, heiti, 13, -1, "测量下降时间");
    row("clearResButton", page2, "QPushButton", {430, 330, 121, 31}, heiti, 13, -1, " 清除结果");
    row("label_27", page2, "QLabel", {20, 110, 61, 41}, heiti, 12, 75, "Ns（%）");
    row("label_30", page2, "QLabel", {233, 60, 151, 41}, heiti, 13, 75, "上升时间测量结果");
    row("label_31", page2, "QLabel", {230, 160, 151, 41}, heiti, 13, 75, " 下降时间测量结果");
    row("label_resNs", page2, "QLabel", {90, 110, 101, 41}, heiti, 12, -1, "");
    row("label_uptime", page2, "QLabel", {410, 60, 101, 41}, heiti, 12, -1, "");
    row("label_downtime", page2, "QLabel", {410, 160, 101, 41}, heiti, 12, -1, "");
}

void tst_Form::widget()
{
    QFETCH(QString, parentName);
    QFETCH(QString, className);
    QFETCH(QRect, geometry);
    QFETCH(QString, family);
    QFETCH(int, pointSize);
    QFETCH(int, weight);
    QFETCH(QString, text);

    mainwindow *w = make();
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    auto *widget = w->findChild<QWidget *>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QCOMPARE(widget->parentWidget()->objectName(), parentName);
    QCOMPARE(widget->geometry(), geometry);
    if (!family.isEmpty())
        QCOMPARE(widget->font().family(), family);
    QCOMPARE(widget->font().pointSize(), pointSize);
    if (weight >= 0)
        QCOMPARE(widget->font().weight(), weight);
    if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), text);
    if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QCOMPARE(button->text(), text);
        QVERIFY(button->isEnabled());
        QCOMPARE(button->iconSize(), QSize(25, 23));
    }
}

void tst_Form::valueLabels()
{
    mainwindow *w = make();
    const char *names[] = {"label_airroomt", "label_Nmax", "label_Ad", "label_Nt",
                           "label_Kmax", "label_Nsmax", "label_Kt", "label_Nst",
                           "label_smoket", "label_resNs", "label_uptime", "label_downtime"};
    for (const char *name : names) {
        auto *label = w->findChild<QLabel *>(QString::fromLatin1(name));
        QVERIFY2(label, name);
        QVERIFY2(label->text().isEmpty(), name);
        QCOMPARE(label->frameShape(), QFrame::Box);
        QCOMPARE(label->margin(), 1);
        QCOMPARE(label->indent(), 1);
        QVERIFY(!label->hasScaledContents());
        QVERIFY(!label->openExternalLinks());
    }
}

void tst_Form::window()
{
    mainwindow *w = make();
    QCOMPARE(w->objectName(), QStringLiteral("mainwindowClass"));
    QCOMPARE(w->windowTitle(), QStringLiteral(" 上位机程序"));
    QCOMPARE(w->size(), QSize(603, 465));
    QCOMPARE(w->minimumSize(), QSize(603, 465));
    QCOMPARE(w->maximumSize(), QSize(603, 465));
    QCOMPARE(w->font().pointSize(), 10);
    QCOMPARE(w->toolButtonStyle(), Qt::ToolButtonTextOnly);
    QVERIFY(!w->hasMouseTracking());
    QVERIFY(!w->windowIcon().isNull());
    QVERIFY(!w->menuWidget());
    QVERIFY(!w->findChild<QStatusBar *>());
    QVERIFY(!w->findChild<QToolBar *>());

    QCOMPARE(w->centralWidget()->objectName(), QStringLiteral("centralWidget"));
    QVERIFY(!w->centralWidget()->autoFillBackground());
    auto *frame = w->findChild<QFrame *>(QStringLiteral("frame"));
    QCOMPARE(frame->styleSheet(), QStringLiteral("background-color: rgb(0, 170, 255);"));
    QCOMPARE(frame->frameShape(), QFrame::StyledPanel);
    QCOMPARE(frame->frameShadow(), QFrame::Raised);

    // An attempt to resize is refused.
    w->show();
    w->resize(800, 600);
    QCOMPARE(w->size(), QSize(603, 465));
}

void tst_Form::tabs()
{
    mainwindow *w = make();
    auto *tabs = w->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QVERIFY(tabs->count() >= 2);  // pages of their own follow the form's two
    QCOMPARE(tabs->widget(0)->objectName(), QStringLiteral("tab"));
    QCOMPARE(tabs->widget(1)->objectName(), QStringLiteral("tab_3"));
    QCOMPARE(tabs->tabText(0), QStringLiteral("数据显示"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("响应时间测试"));
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->tabPosition(), QTabWidget::North);
    QCOMPARE(tabs->tabShape(), QTabWidget::Rounded);
    QCOMPARE(tabs->focusPolicy(), Qt::NoFocus);
}

void tst_Form::widgetOrder()
{
    mainwindow *w = make();
    // The frame lies on top of the tab widget, which it overlaps.
    const QObjectList central = w->centralWidget()->children();
    const int frame = central.indexOf(w->findChild<QFrame *>(QStringLiteral("frame")));
    const int tabs = central.indexOf(w->findChild<QTabWidget *>(QStringLiteral("tabWidget")));
    QVERIFY(frame >= 0 && tabs >= 0);
    QVERIFY(frame > tabs);

    // Children of each page in the order the focus chain and stacking rely on.
    QStringList page2;
    for (QObject *o : w->findChild<QWidget *>(QStringLiteral("tab_3"))->children())
        page2 << o->objectName();
    QCOMPARE(page2, (QStringList{"uptestButton", "downtestButton", "clearResButton", "label_27",
                                 "label_30", "label_31", "label_resNs", "label_uptime",
                                 "label_downtime"}));
}

void tst_Form::buttonIcons()
{
    // The images come from the working folder; with them there, no button is bare.
    mainwindow *w = make();
    for (auto *button : w->findChildren<QPushButton *>())
        QVERIFY2(!button->icon().isNull(), qPrintable(button->objectName()));
}

void tst_Form::clickReachesSlotByName()
{
    // The clear-maxima slot is bound by name only; its effect proves the binding.
    mainwindow *w = make();
    MainWindowTestAccess access(*w);
    QVERIFY(access.ui().label_Nmax->text().isEmpty());
    QTest::mouseClick(access.ui().clearButton, Qt::LeftButton);
    QCOMPARE(access.ui().label_Nmax->text(), QStringLiteral("0"));
    QCOMPARE(access.ui().label_Nsmax->text(), QStringLiteral("0"));
    QCOMPARE(access.ui().label_Kmax->text(), QStringLiteral("0"));
}

OPA_TEST_CLASS(tst_Form)
#include "form.moc"
