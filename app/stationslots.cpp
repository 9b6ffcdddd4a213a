#include "app/mainwindow.h"

#include <QLabel>
#include <QRegularExpression>

#include "lane/lanesession.h"
#include "station/stationlink.h"

// The station's server in the header strip: the forwarding state between
// the title and the link status, only where a server is set.

namespace {

// libpq opens every connect failure with where it tried and ends it with
// hints, one per line; the strip has room for why only, and the tooltip
// keeps all of it.
QString shortened(const QString &status)
{
    static const QRegularExpression where(QStringLiteral("connection to server (on socket|at) .*? failed: "));
    return QString(status).remove(where).section(QStringLiteral("; "), 0, 0);
}

} // namespace

void mainwindow::watchStation()
{
    stationLabel = new QLabel(ui.frame);
    stationLabel->setObjectName(QStringLiteral("label_records"));
    stationLabel->setFont(ui.label_link->font());
    stationLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    stationLabel->hide();
    // The link itself comes with the host's services, after the first poll.
    connect(host, &LaneHost::stationStatusChanged, this, &mainwindow::placeHeaderLabels);
    // After showLinkState, so the link's new text is there to be measured.
    connect(session, &LaneSession::linkChanged, this, &mainwindow::placeHeaderLabels);
}

void mainwindow::useStationServer()
{
    host->useStationServer();
}

// Whatever space the title's and the link's texts leave: the station's
// status alone, or its right half when a storage problem takes the left. A
// long text is shortened there and shown whole in the tooltip.
void mainwindow::placeHeaderLabels()
{
    if (!textsPlaced)
        return;
    const int gap = 16;
    const int left = ui.label_7->x() + ui.label_7->fontMetrics().horizontalAdvance(ui.label_7->text()) + gap;
    int right = ui.label_link->geometry().right() - ui.label_link->contentsMargins().right()
                - ui.label_link->fontMetrics().horizontalAdvance(ui.label_link->text()) - gap;
    const auto place = [this](QLabel *label, int from, int to, const QString &text) {
        label->setGeometry(from, 0, qMax(0, to - from), ui.frame->height());
        label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, label->width()));
    };
    if (checksLabel && !checksLabel->isHidden()) {
        const int width = checksLabel->fontMetrics().horizontalAdvance(checksLabel->toolTip());
        place(checksLabel, right - width, right, checksLabel->toolTip());
        right -= width + gap;
    }
    const bool storage = storageLabel && !storageLabel->isHidden();
    if (stationLabel) {
        const station::StationLink *stationLink = host->stationLink();
        const QString status = stationLink ? stationLink->statusText() : QString();
        stationLabel->setVisible(!status.isEmpty());
        stationLabel->setToolTip(stationLink ? stationLink->toolTipText() : QString());
        const int middle = (left + right) / 2;
        const bool shared = storage && !status.isEmpty();
        place(stationLabel, shared ? middle + gap / 2 : left, right, shortened(status));
        if (shared)
            right = middle - gap / 2;
    }
    if (storage)
        place(storageLabel, left, right, storageLabel->toolTip());
}
