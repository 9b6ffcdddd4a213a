#include "app/mainwindow.h"

#include <QEvent>
#include <QMessageBox>
#include <QPropertyAnimation>
#include <QSharedMemory>
#include <QShortcut>
#include <QTabBar>
#include <QTimer>

#include "app/freeaccelpage.h"
#include "app/historypage.h"
#include "app/historywindow.h"
#include "app/lazytab.h"
#include "app/textfit.h"
#include "app/trendpage.h"
#include "lane/lanesession.h"
#include "app/dailycheckpage.h"
#include "lane/recordmaker.h"
#include "net/meterlink.h"
#include "net/socketclient.h"
#include "shm/companionexchange.h"

mainwindow::mainwindow(QWidget *parent)
    : QMainWindow(parent)
{
    ui.setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/images/opacimeter.png")));

    auto *fadeIn = new QPropertyAnimation(this, "windowOpacity", this);
    fadeIn->setDuration(1000);
    fadeIn->setStartValue(0.0);
    fadeIn->setEndValue(1.0);
    fadeIn->start(QAbstractAnimation::KeepWhenStopped);

    responseTimer = new QTimer(this);
    responseTimer->setObjectName(QStringLiteral("responseTimer"));
    connect(responseTimer, &QTimer::timeout, this, &mainwindow::updatetime);

    host = new LaneHost(this);
    host->setObjectName(QStringLiteral("laneHost"));
    meterLink = host->meterLink();
    pollTimer = meterLink->pollTimer();
    // Order matters: each tick polls the meter before it reads the command segment.
    connect(pollTimer, &QTimer::timeout, this, &mainwindow::autosend);
    connect(pollTimer, &QTimer::timeout, this, &mainwindow::loadmem);

    dataSegment = host->companion()->dataSegment();
    cmdSegment = host->companion()->commandSegment();

    setFixedSize(width(), height());
    setMouseTracking(false);

    serverConnected = false;
    client = meterLink->client();
    connect(meterLink, &MeterLink::linkUp, this, &mainwindow::onSendFindPort, Qt::QueuedConnection);
    connect(this, &mainwindow::writecmd, meterLink, &MeterLink::send);
    connect(meterLink, &MeterLink::frameReceived, this, &mainwindow::seraildata);
    connect(client, &SocketClient::beforeConnect, this, &mainwindow::onBeforeConnect);

    session = host->session();
    connect(session, &LaneSession::readingTaken, this, &mainwindow::showReading);
    connect(host, &LaneHost::maximaChanged, this, &mainwindow::showMaxima);
    connect(host, &LaneHost::apiStatusChanged, ui.label_link, &QLabel::setToolTip);
    recordMaker = host->recordMaker();
    // Before the services: files taken in at their start may be refused at once.
    watchStorage();
    host->start();
    watchLink();
    watchStation();
    addPages();
    addDailyChecks();
    addSettingsAccess();
    showTexts();
}

mainwindow::~mainwindow()
{
    // What the database has not taken yet goes to the unsaved folder.
    recordMaker->close();
    cmdSegment->detach();
    dataSegment->detach();
}

void mainwindow::addPages()
{
    trendTab = new LazyTab([this](QWidget *holder) { return new TrendPage(session, holder); });
    trendTab->setObjectName(QStringLiteral("trendTab"));
    ui.tabWidget->addTab(trendTab, QString());
    freeAccelTab = new LazyTab([this](QWidget *holder) {
        auto *page = new FreeAccelPage(session, recordMaker, host->methodInUse(), holder);
        connect(page, &FreeAccelPage::methodChosen, host, &LaneHost::useMethod);
        return page;
    });
    freeAccelTab->setObjectName(QStringLiteral("freeAccelTab"));
    ui.tabWidget->addTab(freeAccelTab, QString());
    // The page shows the series, so a series started brings it to the front;
    // one started before the page was ever shown (through the API) leaves
    // the operator where they are.
    connect(session, &LaneSession::seriesStarted, this, [this] {
        if (freeAccelTab->isBuilt())
            ui.tabWidget->setCurrentWidget(freeAccelTab);
    });
    historyTab = new LazyTab([this](QWidget *holder) {
        auto *page = new HistoryPage(recordMaker, holder);
        connect(page, &HistoryPage::newWindowRequested, this, [this, page] { HistoryWindow::open(this, recordMaker, page); });
        return page;
    });
    historyTab->setObjectName(QStringLiteral("historyTab"));
    ui.tabWidget->addTab(historyTab, QString());
    connect(ui.tabWidget, &QTabWidget::tabBarDoubleClicked, this, [this](int index) {
        if (ui.tabWidget->widget(index) == historyTab)
            HistoryWindow::open(this, recordMaker, static_cast<HistoryPage *>(historyTab->page()));
    });
    // A hidden window shows no tab, but a page asked for is built all the same.
    connect(ui.tabWidget, &QTabWidget::currentChanged, this, [this](int index) {
        fitPage(ui.tabWidget->widget(index));
        if (auto *tab = qobject_cast<LazyTab *>(ui.tabWidget->widget(index)))
            tab->page();
    });
    bindPageKeys();
}

void mainwindow::bindPageKeys()
{
    // Recording runs in the session, so Ctrl+R needs no page.
    auto *record = new QShortcut(QKeySequence(QStringLiteral("Ctrl+R")), this);
    connect(record, &QShortcut::activated, session, &LaneSession::toggleRecording);
    // On the window, so that F5 works from every tab: a shortcut on a
    // hidden page never fires. The page is built on the first press.
    auto *f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(f5, &QShortcut::activated, this, [this] {
        static_cast<FreeAccelPage *>(freeAccelTab->page())->startSeries();
    });
}

void mainwindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QMainWindow::changeEvent(event);
}

void mainwindow::retranslate()
{
    showTexts();
    placeTexts();
}

void mainwindow::showTexts()
{
    ui.retranslateUi(this);
    ui.tabWidget->setTabText(ui.tabWidget->indexOf(trendTab),
                             QCoreApplication::translate("mainwindowClass", "实时曲线"));
    ui.tabWidget->setTabText(ui.tabWidget->indexOf(freeAccelTab), FreeAccelPage::title());
    ui.tabWidget->setTabText(ui.tabWidget->indexOf(historyTab), HistoryPage::title());
    if (checksTab)
        ui.tabWidget->setTabText(ui.tabWidget->indexOf(checksTab), DailyCheckPage::title());
    showChecksState();
    showLinkText();
    showResponseCaptions();
}

void mainwindow::placeTexts()
{
    textsPlaced = true;
    fitTexts();
    fitTabs();
    placeSettingsButton();
    placeHeaderLabels();
}

// Only the form's page in front is fitted now; those behind it once the
// window is up, or when one comes to the front first, so the first poll
// does not wait for texts nobody sees yet.
void mainwindow::fitTexts()
{
    pagesToFit.clear();
    for (QWidget *page : {ui.tab, ui.tab_3})
        if (page != ui.tabWidget->currentWidget())
            pagesToFit << page;
    TextFit::growToFit(this, pagesToFit);
    QTimer::singleShot(0, this, [this] {
        while (!pagesToFit.isEmpty())
            fitPage(pagesToFit.first());
    });
}

void mainwindow::fitPage(QWidget *page)
{
    if (pagesToFit.removeAll(page))
        TextFit::growToFit(page);
}

// The English titles of the five tabs are wider than the window; rather
// than hide the last behind the bar's scroll buttons, the titles are set
// smaller until all of them show.
void mainwindow::fitTabs()
{
    QTabBar *bar = ui.tabWidget->tabBar();
    const QVariant formSize = bar->property("formPointSize");
    if (!formSize.isValid())
        bar->setProperty("formPointSize", bar->font().pointSizeF());
    QFont font = bar->font();
    font.setPointSizeF(bar->property("formPointSize").toReal());
    bar->setFont(font);
    const int room = qMin(ui.tabWidget->width(), width() - ui.tabWidget->x());
    while (bar->sizeHint().width() > room && font.pointSizeF() > 8) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        bar->setFont(font);
    }
}

void mainwindow::startApi()
{
    host->startApi();
}

void mainwindow::startApiWithServices()
{
    host->startApiWithServices();
}

void mainwindow::showEvent(QShowEvent *event)
{
    Q_UNUSED(event);
    QTimer::singleShot(DiscoveryDelayMs, Qt::PreciseTimer, this, [this] { startFind(); });
    QTimer::singleShot(noticeDelayMs, this, [this] { showConnectionNotice(); });
    // The texts are measured as the window first shows, before it is
    // painted: after the discovery's 100 ms have begun, which they need not delay.
    if (!textsPlaced)
        placeTexts();
}

void mainwindow::showConnectionNotice()
{
    if (serverConnected)
        return;
    QMessageBox::information(nullptr, tr("提示"), tr("通信失败，建议检查连线，重开此程序！"),
                             QMessageBox::Ok, QMessageBox::NoButton);
}
