#include "app/mainwindow.h"

#include <QLabel>

#include "lane/lanesession.h"
#include "lane/recordmaker.h"
#include "records/recordkeeper.h"

// The records' storage problems in the header strip, whichever page is
// built: a database moved aside, a refused record, a rejected unsaved file.
// The strip shows the latest in red, its tooltip the whole text, until a
// test of this run has been stored with nothing left waiting: the storage
// works again. Records taken in at start do not clear it, or a problem found
// at start would go before anyone saw it. The log has each one (RecordMaker
// writes it).

void mainwindow::watchStorage()
{
    storageLabel = new QLabel(ui.frame);
    storageLabel->setObjectName(QStringLiteral("label_storage"));
    storageLabel->setFont(ui.label_link->font());
    storageLabel->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));
    storageLabel->hide();
    connect(recordMaker, &RecordMaker::storageProblem, this, &mainwindow::showStorageProblem);
    connect(recordMaker, &RecordMaker::databaseReplaced, this,
            [this](const QString &, const QString &message) { showStorageProblem(message); });
    // A series' record is said kept before it is said stored.
    connect(recordMaker, &RecordMaker::recordKept, this, [this] { seriesKept = true; });
    connect(recordMaker, &RecordMaker::recordStored, this, [this] {
        if (seriesKept && recordMaker->keeper()->pendingCount() == 0 && !storageLabel->isHidden()) {
            storageLabel->hide();
            storageLabel->setToolTip(QString());
            // The station's status gets the whole room back.
            placeHeaderLabels();
        }
    });
    // After the link's and the station's texts have been placed.
    connect(session, &LaneSession::linkChanged, this, &mainwindow::placeHeaderLabels,
            Qt::QueuedConnection);
}

void mainwindow::showStorageProblem(const QString &message)
{
    storageLabel->setToolTip(message);
    storageLabel->setVisible(true);
    placeHeaderLabels();
}
