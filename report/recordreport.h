#ifndef REPORT_RECORDREPORT_H
#define REPORT_RECORDREPORT_H

#include <QCoreApplication>
#include <QImage>
#include <QString>

#include "records/testrecord.h"

class QPagedPaintDevice;
class QTextDocument;

// A test record's report: one A4 page for the driver and the auditor, with
// the station, the vehicle, the method, the snaps, the result and verdict,
// the K curve and what identifies the record. Texts go through tr().
class RecordReport
{
    Q_DECLARE_TR_FUNCTIONS(RecordReport)

public:
    // The station's address is the one set.ini holds now: it heads the
    // page as letterhead, and is no part of the sealed record.
    explicit RecordReport(const TestRecord &record);

    // The stored row did not hold together (see RecordCheck): the page says
    // so above everything else.
    void markCheckFailed(bool failed) { checkFailed = failed; }

    // The K curve over the series, with the limit and the counted peaks.
    QImage curve(const QSize &size) const;
    // The page as HTML; the curve is the image resource "curve.png".
    QString html() const;
    // The page in 'doc', its curve 'curveMm' large at 'pxPerMm' pixels of
    // the device per millimetre.
    void fill(QTextDocument *doc, const QSizeF &curveMm, double pxPerMm) const;
    // Lays the page out on 'device' (a QPdfWriter or a QPrinter), shrunk to
    // fit one page when it would run over.
    void render(QPagedPaintDevice *device) const;
    bool writePdf(const QString &path, QString *error) const;

private:
    QString checkFailedHtml() const;
    QString headerHtml() const;
    QString vehicleHtml() const;
    QString methodHtml() const;
    QString snapsHtml() const;
    QString resultHtml() const;
    QString signaturesHtml() const;
    QString footerHtml() const;
    // A daily check's page: what was checked, against what, passed or not.
    QString checkHtml() const;
    void drawCurveAxes(QPainter &p, const QRectF &plot, double unit, double top, qint64 span) const;

    TestRecord r;
    QString stationAddress;
    // The profile's title and the limit row in the report's language, read once.
    QString profileTitle;
    QString limitRow;
    bool checkFailed = false;
};

#endif
