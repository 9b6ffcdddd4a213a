#include "app/mainwindow.h"

#include <QMessageBox>
#include <QPropertyAnimation>
#include <QSharedMemory>
#include <QTimer>

#include "app/freeaccelpage.h"
#include "app/historypage.h"
#include "app/textfit.h"
#include "app/trendpage.h"
#include "config/recordsettings.h"
#include "lane/lanesession.h"
#include "lane/testarchive.h"
#include "net/meterlink.h"
#include "net/socketclient.h"
#include "shm/companionexchange.h"

mainwindow::mainwindow(QWidget *parent)
    : QMainWindow(parent)
{
    ui.setupUi(this);
    TextFit::growToFit(this);
    setWindowIcon(QIcon(QStringLiteral(":/images/opacimeter.png")));

    auto *fadeIn = new QPropertyAnimation(this, "windowOpacity", this);
    fadeIn->setDuration(1000);
    fadeIn->setStartValue(0.0);
    fadeIn->setEndValue(1.0);
    fadeIn->start(QAbstractAnimation::KeepWhenStopped);

    responseTimer = new QTimer(this);
    responseTimer->setObjectName(QStringLiteral("responseTimer"));
    connect(responseTimer, &QTimer::timeout, this, &mainwindow::updatetime);

    meterLink = new MeterLink(this);
    pollTimer = meterLink->pollTimer();
    // Order matters: each tick polls the meter before it reads the command segment.
    connect(pollTimer, &QTimer::timeout, this, &mainwindow::autosend);
    connect(pollTimer, &QTimer::timeout, this, &mainwindow::loadmem);

    companion = new CompanionExchange(this);
    dataSegment = companion->dataSegment();
    cmdSegment = companion->commandSegment();

    setFixedSize(width(), height());
    setMouseTracking(false);
    N = Ns = K = chamberTemp = smokeTemp = energy = 0;

    serverConnected = false;
    client = meterLink->client();
    connect(client, &SocketClient::findEnableReady, this, &mainwindow::onSendFindPort,
            Qt::QueuedConnection);
    connect(this, &mainwindow::writecmd, client, &SocketClient::onSendToServer);
    connect(client, &SocketClient::sendParsePack, this, &mainwindow::seraildata);
    connect(client, &SocketClient::beforeConnect, this, &mainwindow::onBeforeConnect);

    session = new LaneSession(this);
    session->setObjectName(QStringLiteral("laneSession"));
    connect(session, &LaneSession::readingTaken, this, &mainwindow::showReading);
    archive = new TestArchive(session, settings::databaseFile(),
                              QString::fromLatin1(TestArchive::DefaultUnsavedFolder), this);
    archive->setObjectName(QStringLiteral("testArchive"));
    archive->start();
    watchLink();
    addPages();
}

mainwindow::~mainwindow()
{
    // What the database has not taken yet goes to the unsaved folder.
    archive->close();
    cmdSegment->detach();
    dataSegment->detach();
}

void mainwindow::addPages()
{
    auto *trendPage = new TrendPage(session, this);
    ui.tabWidget->addTab(trendPage, QCoreApplication::translate("mainwindowClass", "实时曲线"));
    auto *freeAccelPage = new FreeAccelPage(session, archive, this);
    ui.tabWidget->addTab(freeAccelPage, FreeAccelPage::title());
    auto *historyPage = new HistoryPage(archive, this);
    ui.tabWidget->addTab(historyPage, HistoryPage::title());
}

void mainwindow::showEvent(QShowEvent *event)
{
    Q_UNUSED(event);
    QTimer::singleShot(DiscoveryDelayMs, this, [this] { startFind(); });
    QTimer::singleShot(noticeDelayMs, this, [this] { showConnectionNotice(); });
}

void mainwindow::showConnectionNotice()
{
    if (serverConnected)
        return;
    QMessageBox::information(nullptr, QStringLiteral("提示"),
                             QStringLiteral("通信失败，建议检查连线，重开此程序！"),
                             QMessageBox::Ok, QMessageBox::NoButton);
}
