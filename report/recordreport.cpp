#include "report/recordreport.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QTextDocument>

#include <cmath>

#include "config/profilesettings.h"
#include "config/recordsettings.h"
#include "language/language.h"
#include "records/recordcheck.h"

namespace {

// A profile's own title and the record's limit row as the report names
// them: in English from the profile's file where the station still has that
// very file (the same SHA-256), else as the record keeps them.
struct ProfileWords {
    QString title;
    QString row;
};

ProfileWords profileWords(const TestRecord &r)
{
    ProfileWords words{r.profile.title, r.limit.row};
    if (r.profile.isCustom() || Language::current() != QLatin1String("en"))
        return words;
    for (const ProcedureProfile &p : settings::availableProfiles()) {
        if (p.id == r.profile.id && p.sha256 == r.profile.sha256)
            return {p.shownTitle(true), p.shownRowName(r.limit.row, true)};
    }
    return words;
}

const int CurveWidthMm = 180;
const int CurveHeightMm = 55;

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

QString figure(double value, int decimals = 2)
{
    return QString::number(value, 'f', decimals);
}

QString row(const QString &label, const QString &value)
{
    return QStringLiteral("<td class='l'>%1</td><td>%2</td>").arg(esc(label), esc(value));
}

QString when(const QDateTime &time)
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

} // namespace

RecordReport::RecordReport(const TestRecord &record)
    : r(record), stationAddress(settings::stationAddress())
{
    const ProfileWords words = profileWords(record);
    profileTitle = words.title;
    limitRow = words.row;
}

QString RecordReport::headerHtml() const
{
    return QStringLiteral("<h1>%1</h1><table width='100%'><tr>%2%3</tr><tr>%4%5</tr>"
                          "<tr><td class='l'>%6</td><td colspan='3'>%7</td></tr></table>")
        .arg(esc(tr("自由加速法烟度检测报告")),
             row(tr("检测站"), r.station) , row(tr("检测线"), r.lane),
             row(tr("检测员"), r.operatorName), row(tr("检测日期"), when(r.started)),
             esc(tr("地址")), esc(stationAddress));
}

QString RecordReport::vehicleHtml() const
{
    const Vehicle &v = r.vehicle;
    if (v.isServiceTest())
        return QStringLiteral("<h2>%1</h2><p>%2</p>").arg(esc(tr("车辆")), esc(tr("无车辆")));
    const QString intake = v.intake == Vehicle::Intake::Natural ? tr("自然吸气")
                           : v.intake == Vehicle::Intake::Turbo ? tr("涡轮增压") : QString();
    const QString category = v.category == QLatin1String("other") ? tr("其他") : v.category;
    return QStringLiteral("<h2>%1</h2><table width='100%'><tr>%2%3%4</tr><tr>%5%6%7</tr>"
                          "<tr>%8</tr></table>")
        .arg(esc(tr("车辆")), row(tr("号牌号码"), v.plate), row(tr("VIN"), v.vin),
             row(tr("车辆类别"), category), row(tr("进气方式"), intake),
             row(tr("初次登记日期"), v.firstRegistration.toString(Qt::ISODate)),
             row(tr("里程表读数"), v.odometerKm ? tr("%1 km").arg(figure(*v.odometerKm, 0)) : QString()),
             row(tr("铭牌值"), v.plateValueK ? tr("%1 m⁻¹").arg(figure(*v.plateValueK)) : QString()));
}

QString RecordReport::methodHtml() const
{
    const QString rules = r.band <= 0 ? tr("取最后 %1 次峰值的平均值；最多 %2 次").arg(r.counted).arg(r.maxSnaps)
                          : tr("取最后 %1 次峰值，极差不超过 %2 m⁻¹%3；最多 %4 次")
                              .arg(r.counted).arg(figure(r.band))
                              .arg(r.rejectDecreasing ? tr("，严格递减不计") : QString())
                              .arg(r.maxSnaps);
    // The method's name as the free-acceleration page shows it.
    const QString method = QCoreApplication::translate("FreeAccelPage", r.method.toUtf8().constData());
    // A profile's standard is what the test was made by; 自定义 cites none, as before.
    const QString basis = r.profile.isCustom()
                              ? QString()
                              : QStringLiteral("<tr>%1</tr>").arg(row(tr("检测依据"), tr("%1（%2 第 %3 版）")
                                                                     .arg(r.profile.standard, profileTitle, r.profile.version)));
    const QString purges = r.purges > 0 ? tr("先吹拂 %1 次，不计；").arg(r.purges) : QString();
    return QStringLiteral("<h2>%1</h2><table width='100%'>%4<tr>%2</tr><tr>%3</tr></table>")
        .arg(esc(tr("检测方法")), row(tr("方法"), method), row(tr("规则"), purges + rules), basis);
}

QString RecordReport::snapsHtml() const
{
    QString rows;
    int inOutlet = 0;
    for (int i = 0; i < r.snaps.size(); ++i) {
        const RecordSnap &s = r.snaps.at(i);
        // Of several outlets, numbered by outlet: "2-1".
        inOutlet = i > 0 && s.outlet == r.snaps.at(i - 1).outlet ? inOutlet + 1 : 1;
        const QString number = s.outlet > 0 ? QStringLiteral("%1-%2").arg(s.outlet).arg(inOutlet) : QString::number(i + 1);
        rows += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td>"
                               "<td>%6</td></tr>")
                    .arg(number, s.time.toString(QStringLiteral("HH:mm:ss")))
                    .arg(figure(s.peakK), figure(s.peakN, 1), figure(s.durationMs / 1000.0, 1),
                         s.counted ? tr("计入") : s.purge ? tr("吹拂") : QString());
    }
    return QStringLiteral("<h2>%1</h2><table class='grid' width='100%' cellspacing='0' "
                          "cellpadding='2'><tr><th>%2</th><th>%3</th><th>%4</th><th>%5</th>"
                          "<th>%6</th><th>%7</th></tr>%8</table>")
        .arg(esc(tr("加速过程")), esc(tr("序号")), esc(tr("开始时间")), esc(tr("峰值 K (m⁻¹)")),
             esc(tr("峰值 N (%)")), esc(tr("持续时间 (s)")), esc(tr("计入结果")), rows);
}

QString RecordReport::resultHtml() const
{
    QString result = r.valid() && r.meanK ? tr("%1 m⁻¹").arg(figure(*r.meanK))
                     : r.outcome == TestRecord::Outcome::Invalid ? tr("无效")
                                                                 : tr("中止");
    const QString source = r.limit.row.isEmpty() ? LimitChoice::sourceText(r.limit.source)
                                                 : LimitChoice::sourceText(r.limit.source) + tr("，") + limitRow;
    const QString limit = r.limit.hasLimit() ? tr("%1 m⁻¹（%2）").arg(figure(r.limit.limitK), source) : tr("无");
    const QString verdict = r.verdict == QLatin1String("pass")   ? tr("合格")
                            : r.verdict == QLatin1String("fail") ? tr("不合格")
                                                                 : tr("无判定");
    QStringList outlets;
    for (int i = 0; i < r.outletK.size(); ++i)
        outlets << tr("%1：%2").arg(i + 1).arg(std::isnan(r.outletK.at(i)) ? tr("无效") : figure(r.outletK.at(i)));
    const QString each = outlets.isEmpty() ? QString()
                         : QStringLiteral("<tr>%1</tr>").arg(row(tr("各排气管 K (m⁻¹)"), outlets.join(QStringLiteral("　"))));
    return QStringLiteral("<h2>%1</h2><table width='100%'><tr>%2%3<td rowspan='1' "
                          "class='verdict'>%4</td></tr>%5</table>")
        .arg(esc(tr("结果")), row(tr("平均值 K"), result), row(tr("限值"), limit), esc(verdict), each);
}

// Blank lines to sign on paper: who tested, who reviewed, who approved.
QString RecordReport::signaturesHtml() const
{
    const QString line = QStringLiteral("<td class='sign'>%1</td>").arg(QString(14, QChar(0x2003)));
    QString cells;
    for (const QString &role : {tr("检测员"), tr("审核员"), tr("批准人")})
        cells += QStringLiteral("<td class='l'>%1</td>").arg(esc(role)) + line;
    return QStringLiteral("<table width='100%' class='signatures' cellspacing='6'><tr>%1</tr></table>").arg(cells);
}

QString RecordReport::footerHtml() const
{
    const QString calibration = r.lastCalibration.isValid() ? when(r.lastCalibration) : tr("未知");
    return QStringLiteral("<table width='100%' class='small'><tr>%1%2%3</tr></table>"
                          "<p class='small'>%4 <span class='mono'>%5</span><br/>%6 "
                          "<span class='mono'>%7</span></p>")
        .arg(row(tr("软件版本"), r.software), row(tr("烟度计地址"), r.meterAddress),
             row(tr("最近标定"), calibration), esc(tr("记录编号")), esc(r.id),
             esc(tr("校验值 (SHA-256)")), esc(r.hash));
}

QString RecordReport::checkFailedHtml() const
{
    if (!checkFailed)
        return QString();
    return QStringLiteral("<p style='color: #c80000; font-size: 14pt; font-weight: bold; "
                          "text-align: center;'>%1</p>")
        .arg(esc(RecordCheck::failedText()));
}

QString RecordReport::checkHtml() const
{
    const QJsonObject c = r.check;
    const QJsonObject limits = c.value(QLatin1String("limits")).toObject();
    const auto value = [](const QJsonObject &o, const char *key, int decimals = 2) {
        return figure(o.value(QLatin1String(key)).toDouble(), decimals);
    };
    const QString kind = c.value(QLatin1String("kind")).toString();
    QString name, rows;
    if (kind == QLatin1String("zero")) {
        name = tr("零点检查");
        rows = QStringLiteral("<tr>%1%2</tr><tr>%3%4</tr>")
                   .arg(row(tr("平均 N"), tr("%1 %").arg(value(c, "meanN"))),
                        row(tr("允许"), tr("±%1 %").arg(value(limits, "mean", 1))),
                        row(tr("最大偏离 N"), tr("%1 %").arg(value(c, "extremeN"))),
                        row(tr("允许"), tr("±%1 %").arg(value(limits, "max", 1))));
    } else if (kind == QLatin1String("filter")) {
        const QJsonObject f = c.value(QLatin1String("filter")).toObject();
        name = tr("滤光片检查");
        rows = QStringLiteral("<tr>%1%2</tr><tr>%3%4</tr><tr>%5%6</tr>")
                   .arg(row(tr("滤光片"), f.value(QLatin1String("name")).toString()),
                        row(tr("检定证书"), f.value(QLatin1String("certificate")).toString()),
                        row(tr("标称值 N"), tr("%1 %").arg(value(f, "nominalN"))),
                        row(tr("检定有效期至"), f.value(QLatin1String("due")).toString()),
                        row(tr("平均 N"), tr("%1 %").arg(value(c, "meanN"))),
                        row(tr("允许"), tr("±%1 %").arg(value(limits, "tolerance", 1))));
    } else {
        name = tr("响应时间检查");
        rows = QStringLiteral("<tr>%1%2</tr><tr>%3</tr>")
                   .arg(row(tr("上升时间"), tr("%1 s").arg(value(c, "riseS"))),
                        row(tr("下降时间"), tr("%1 s").arg(value(c, "fallS"))),
                        row(tr("允许"), tr("%1–%2 s").arg(value(limits, "min", 1), value(limits, "max", 1))));
    }
    const QString verdict = c.value(QLatin1String("passed")).toBool() ? tr("通过") : tr("未通过");
    return QStringLiteral("<h2>%1</h2><table width='100%'>%2</table><table width='100%'><tr>%3"
                          "<td class='verdict'>%4</td></tr></table>")
        .arg(esc(name), rows, row(tr("读数"), tr("%1 个").arg(r.trace.n.size())), esc(verdict));
}

QString RecordReport::html() const
{
    const QString style = QStringLiteral(
        "<style>h1 { font-size: 15pt; text-align: center; } h2 { font-size: 11pt; "
        "margin-top: 6px; margin-bottom: 2px; } td, th { font-size: 9pt; vertical-align: middle; } "
        "td.l { color: #555555; } table.grid td, table.grid th { border: 1px solid #888888; "
        "text-align: center; } td.verdict { font-size: 26pt; font-weight: bold; "
        "text-align: right; } .small, .small td { font-size: 7.5pt; color: #444444; } "
        ".mono { font-family: monospace; } table.signatures { margin-top: 10px; } "
        "td.sign { border-bottom: 1px solid black; }</style>");
    if (r.isCheck()) {
        const QString header = QStringLiteral("<h1>%1</h1><table width='100%'><tr>%2%3</tr><tr>%4%5</tr></table>")
                                   .arg(esc(tr("烟度计日常检查报告")), row(tr("检测站"), r.station),
                                        row(tr("检测线"), r.lane), row(tr("检查员"), r.operatorName),
                                        row(tr("检查时间"), when(r.started)));
        return QStringLiteral("<html><head>%1</head><body>%2%3%4</body></html>")
            .arg(style, checkFailedHtml() + header, checkHtml(), signaturesHtml() + footerHtml());
    }
    return QStringLiteral("<html><head>%1</head><body>%2%3%4%5%6<h2>%7</h2>"
                          "<p><img src='curve.png' width='%CURVEW%' height='%CURVEH%'/></p>%8"
                          "</body></html>")
        .arg(style, checkFailedHtml() + headerHtml(), vehicleHtml(), methodHtml(), snapsHtml(),
             resultHtml(), esc(tr("K 曲线")), signaturesHtml() + footerHtml());
}

void RecordReport::drawCurveAxes(QPainter &p, const QRectF &plot, double unit, double top, qint64 span) const
{
    p.setPen(QPen(QColor(0xcc, 0xcc, 0xcc), 1));
    QFont font = p.font();
    font.setPixelSize(int(unit * 0.6) + 6);
    p.setFont(font);
    const double yStep = top <= 2 ? 0.5 : top <= 5 ? 1 : 2;
    for (double k = 0; k <= top + 1e-9; k += yStep) {
        const double y = plot.bottom() - k / top * plot.height();
        p.setPen(QColor(0xdd, 0xdd, 0xdd));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(0, y - 20, plot.left() - 8, 40), Qt::AlignRight | Qt::AlignVCenter,
                   figure(k, 1));
    }
    const qint64 xStep = span <= 20000 ? 2000 : span <= 60000 ? 5000 : 10000;
    // A label that would run into the axis title, whose width differs with
    // the language, is left out.
    const double titleLeft = plot.right() - p.fontMetrics().horizontalAdvance(tr("时间 (s)"));
    for (qint64 ms = 0; ms <= span; ms += xStep) {
        const double x = plot.left() + double(ms) / span * plot.width();
        p.setPen(QColor(0xdd, 0xdd, 0xdd));
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.setPen(Qt::black);
        const QString label = QString::number(ms / 1000);
        if (x + p.fontMetrics().horizontalAdvance(label) / 2.0 + p.fontMetrics().averageCharWidth() < titleLeft)
            p.drawText(QRectF(x - 60, plot.bottom() + 4, 120, plot.top() + 20), Qt::AlignHCenter, label);
    }
    // The top tick's figure stands half a line above the plot; the axis
    // title keeps a gap of a third of a line above that.
    const double titleBottom = plot.top() - p.fontMetrics().height() * (0.5 + 0.33);
    p.drawText(QRectF(0, 0, plot.left() + 200, titleBottom), Qt::AlignLeft | Qt::AlignBottom,
               tr("K (m⁻¹)"));
    p.drawText(QRectF(plot.right() - 200, plot.bottom() + 4, 200, plot.top() + 20),
               Qt::AlignRight, tr("时间 (s)"));
    p.setPen(QPen(Qt::black, 2));
    p.drawRect(plot);
}

QImage RecordReport::curve(const QSize &size) const
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double unit = size.height() / 14.0;
    const QRectF plot(unit * 2.2, unit * 2.0, size.width() - unit * 2.8, size.height() - unit * 3.8);
    double top = r.limit.hasLimit() ? r.limit.limitK : 0;
    for (double k : r.trace.k)
        top = std::isnan(k) ? top : qMax(top, k);
    top = std::ceil(qMax(top, 0.9) * 1.1 * 2) / 2;
    const qint64 span = qMax<qint64>(1000, r.trace.tMs.isEmpty() ? 0 : r.trace.tMs.last());
    drawCurveAxes(p, plot, unit, top, span);
    const auto at = [&](qint64 ms, double k) {
        return QPointF(plot.left() + double(ms) / span * plot.width(),
                       plot.bottom() - qBound(0.0, k / top, 1.0) * plot.height());
    };
    // The counted snaps are shaded, so a reader sees which peaks made the result.
    for (const RecordSnap &s : r.snaps) {
        if (!s.counted || !r.started.isValid())
            continue;
        const qint64 from = r.started.msecsTo(s.time);
        p.fillRect(QRectF(at(from, top), at(from + qMax<qint64>(s.durationMs, 200), 0)),
                   QColor(0x2e, 0x7d, 0x32, 40));
    }
    QPainterPath path;
    bool drawing = false;
    for (int i = 0; i < r.trace.tMs.size(); ++i) {
        const double k = r.trace.k.value(i, NAN);
        if (std::isnan(k)) {
            drawing = false;
            continue;
        }
        drawing ? path.lineTo(at(r.trace.tMs.at(i), k)) : path.moveTo(at(r.trace.tMs.at(i), k));
        drawing = true;
    }
    p.setPen(QPen(QColor(0x15, 0x65, 0xc0), qMax(2.0, unit / 6)));
    p.drawPath(path);
    if (r.limit.hasLimit()) {
        p.setPen(QPen(QColor(0xc6, 0x28, 0x28), qMax(2.0, unit / 8), Qt::DashLine));
        p.drawLine(at(0, r.limit.limitK), at(span, r.limit.limitK));
    }
    return image;
}

void RecordReport::fill(QTextDocument *doc, const QSizeF &curveMm, double pxPerMm) const
{
    doc->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("curve.png")),
                     curve((curveMm * pxPerMm).toSize()));
    // Image sizes in the HTML count in pixels of 96 dpi, whatever the device.
    const double cssPxPerMm = 96 / 25.4;
    doc->setHtml(html()
                     .replace(QLatin1String("%CURVEW%"), QString::number(int(curveMm.width() * cssPxPerMm)))
                     .replace(QLatin1String("%CURVEH%"), QString::number(int(curveMm.height() * cssPxPerMm))));
}

void RecordReport::render(QPagedPaintDevice *device) const
{
    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(device);
    const QSizeF page(device->width(), device->height());
    doc.setPageSize(page);
    doc.setDocumentMargin(0);
    fill(&doc, QSizeF(CurveWidthMm, CurveHeightMm), device->logicalDpiX() / 25.4);
    QPainter painter(device);
    const double height = doc.documentLayout()->documentSize().height();
    // More snaps than a page holds at full size shrink the page, never split it.
    if (height > page.height())
        painter.scale(page.height() / height, page.height() / height);
    doc.drawContents(&painter);
}

bool RecordReport::writePdf(const QString &path, QString *error) const
{
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly)) {
        *error = tr("无法写入 %1：%2").arg(path, probe.errorString());
        return false;
    }
    probe.close();
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 12, 15, 12), QPageLayout::Millimeter);
    writer.setResolution(300);
    writer.setTitle(tr("自由加速法烟度检测报告 %1").arg(r.id));
    writer.setCreator(QStringLiteral("opacimeter-host"));
    render(&writer);
    return true;
}
