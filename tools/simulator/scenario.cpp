#include "simulator/scenario.h"

#include <QFile>
#include <QStringList>
#include <QtMath>

#include <cmath>
#include <iterator>

#include "common/numbers.h"
#include "simulator/simoptions.h"

namespace {

qint16 toHundredths(double value)
{
    return qint16(qBound(-32768.0, std::round(value * 100.0), 32767.0));
}

double wave(qint64 ms, double periodMs)
{
    return std::sin(2.0 * M_PI * double(ms) / periodMs);
}

} // namespace

namespace Opacity {

double kFromNs(double nsPercent)
{
    // A fully dark path has no finite K; stop just short of it.
    const double transmitted = 1.0 - qBound(0.0, nsPercent, 99.99) / 100.0;
    return -std::log(transmitted) / StandardPathM;
}

double nFromK(double k)
{
    return 100.0 * (1.0 - std::exp(-k * InstrumentPathM));
}

void fill(RawMeasurement &m, double nsPercent)
{
    const double k = kFromNs(nsPercent);
    m.ns = toHundredths(nsPercent);
    m.k = toHundredths(k);
    m.n = toHundredths(nFromK(k));
}

} // namespace Opacity

QString SteadyScenario::description() const
{
    return QStringLiteral("steady: N %1 %, Ns %2 %, K %3 1/m, chamber %4 C, smoke %5 C, energy %6")
        .arg(numbers::hundredths(values.n), numbers::hundredths(values.ns),
             numbers::hundredths(values.k))
        .arg(values.chamberC)
        .arg(values.smokeC)
        .arg(values.energy);
}

double SmokeScenario::peakPercent(qint64 cycle) const
{
    static const double peaks[] = {42, 55, 38, 61, 47};
    return peaks[cycle % qint64(std::size(peaks))];
}

double SmokeScenario::ns(qint64 ms) const
{
    const qint64 cycle = ms / periodMs;
    const qint64 phase = ms % periodMs;
    const double baseline = BaselinePercent + 0.2 * wave(ms, 1700);
    const double height = peakPercent(cycle) - baseline;
    if (phase < PuffStartMs)
        return baseline;
    if (phase < PuffStartMs + RiseMs) {
        const double s = std::sin(M_PI / 2 * double(phase - PuffStartMs) / RiseMs);
        return baseline + height * s * s;
    }
    return baseline + height * std::exp(-double(phase - PuffStartMs - RiseMs) / DecayTauMs);
}

RawMeasurement SmokeScenario::at(qint64 ms)
{
    RawMeasurement m;
    const double ns = this->ns(ms);
    Opacity::fill(m, ns);
    m.chamberC = quint8(std::lround(75 + 2 * wave(ms, 90000)));
    m.smokeC = quint8(std::lround(90 + 0.4 * ns + 5 * wave(ms, 45000)));
    m.energy = qint16(std::lround(2600 + 25 * wave(ms, 20000)));
    return m;
}

QString SmokeScenario::description() const
{
    return QStringLiteral("smoke: a free-acceleration puff every %1 ms").arg(periodMs);
}

double StepScenario::crossingMs(double fraction) const
{
    return -tauMs * std::log(1.0 - fraction);
}

double StepScenario::tenToNinetyMs() const
{
    return crossingMs(0.9) - crossingMs(0.1);
}

double StepScenario::level(qint64 ms) const
{
    const qint64 phase = ms % periodMs;
    const double from = direction == Up ? 0.0 : 100.0;
    const double to = 100.0 - from;
    if (phase < stepPhaseMs())
        return from;
    const double remaining = std::exp(-double(phase - stepPhaseMs()) / tauMs);
    return to + (from - to) * remaining;
}

RawMeasurement StepScenario::at(qint64 ms)
{
    RawMeasurement m;
    Opacity::fill(m, level(ms));
    m.chamberC = 25;
    m.smokeC = 30;
    m.energy = 2048;
    return m;
}

QString StepScenario::description() const
{
    return QStringLiteral("%1: Ns steps from %2 to %3 % at %4 ms into every %5-ms cycle; "
                          "10-90 % takes %6 ms")
        .arg(direction == Up ? QStringLiteral("step-up") : QStringLiteral("step-down"))
        .arg(direction == Up ? 0 : 100)
        .arg(direction == Up ? 100 : 0)
        .arg(stepPhaseMs())
        .arg(periodMs)
        .arg(qRound(tenToNinetyMs()));
}

double FreeAccelScenario::k(qint64 ms) const
{
    const double idle = idleK / 100.0;
    if (ms < LeadMs)
        return idle;
    const qint64 snap = (ms - LeadMs) / periodMs;
    const qint64 phase = (ms - LeadMs) % periodMs;
    if (snap >= peaks.size())
        return idle;
    const double height = peaks.at(int(snap)) / 100.0 - idle;
    if (phase < RiseMs) {
        const double s = std::sin(M_PI / 2 * double(phase) / RiseMs);
        return idle + height * s * s;
    }
    if (phase < RiseMs + HoldMs)
        return idle + height;
    if (phase < RiseMs + HoldMs + FallMs)
        return idle + height * (1 + std::cos(M_PI * double(phase - RiseMs - HoldMs) / FallMs)) / 2;
    return idle;
}

RawMeasurement FreeAccelScenario::at(qint64 ms)
{
    if (firstMs < 0)
        firstMs = ms;
    const double k = this->k(ms - firstMs);
    const double opacity = 100.0 * (1.0 - std::exp(-k * Opacity::StandardPathM));
    RawMeasurement m;
    m.k = toHundredths(k);
    m.ns = m.n = toHundredths(opacity);
    m.chamberC = 75;
    m.smokeC = quint8(std::lround(90 + 0.4 * opacity));
    m.energy = 2600;
    return m;
}

QString FreeAccelScenario::description() const
{
    QStringList list;
    for (qint16 peak : peaks)
        list << numbers::hundredths(peak);
    return QStringLiteral("free-accel: idle K %1 1/m; from %2 ms after the first request one snap "
                          "every %3 ms to K %4 1/m, then idle")
        .arg(numbers::hundredths(idleK))
        .arg(LeadMs)
        .arg(periodMs)
        .arg(list.join(QStringLiteral(", ")));
}

std::unique_ptr<FileScenario> FileScenario::parse(const QByteArray &text, const QString &name,
                                                  QString *error)
{
    struct Column {
        const char *label;
        qint64 min;
        qint64 max;
    };
    static const Column columns[] = {{"N", -32768, 32767},     {"Ns", -32768, 32767},
                                     {"K", -32768, 32767},     {"chamber", 0, 255},
                                     {"smoke", 0, 255},        {"energy", -32768, 32767}};
    constexpr int columnCount = int(std::size(columns));

    auto scenario = std::make_unique<FileScenario>();
    scenario->name = name;
    bool headerAllowed = true;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i)).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QString where = QStringLiteral("%1:%2: ").arg(name).arg(i + 1);
        const QStringList fields = line.split(QLatin1Char(','));
        qint64 values[columnCount] = {};
        bool numeric = fields.size() == columnCount;
        for (int c = 0; numeric && c < columnCount; ++c)
            numeric = numbers::parseInt(fields.at(c).trimmed(), columns[c].min, columns[c].max,
                                        &values[c]);
        if (!numeric && headerAllowed && !line.at(0).isDigit() && line.at(0) != QLatin1Char('-')) {
            headerAllowed = false;
            continue;
        }
        headerAllowed = false;
        if (fields.size() != columnCount) {
            *error = where + QStringLiteral("expected 6 values (N,Ns,K,chamber,smoke,energy), found %1")
                                 .arg(fields.size());
            return nullptr;
        }
        for (int c = 0; c < columnCount; ++c) {
            if (!numbers::parseInt(fields.at(c).trimmed(), columns[c].min, columns[c].max,
                                   &values[c])) {
                *error = where + QStringLiteral("%1 must be a whole number from %2 to %3, not '%4'")
                                     .arg(QLatin1String(columns[c].label))
                                     .arg(columns[c].min)
                                     .arg(columns[c].max)
                                     .arg(fields.at(c).trimmed());
                return nullptr;
            }
        }
        RawMeasurement m;
        m.n = qint16(values[0]);
        m.ns = qint16(values[1]);
        m.k = qint16(values[2]);
        m.chamberC = quint8(values[3]);
        m.smokeC = quint8(values[4]);
        m.energy = qint16(values[5]);
        scenario->rows.append(m);
    }
    if (scenario->rows.isEmpty()) {
        *error = name + QStringLiteral(": no rows of values");
        return nullptr;
    }
    return scenario;
}

std::unique_ptr<FileScenario> FileScenario::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return nullptr;
    }
    return parse(file.readAll(), path, error);
}

RawMeasurement FileScenario::at(qint64)
{
    const RawMeasurement m = rows.at(nextRow);
    nextRow = (nextRow + 1) % rows.size();
    return m;
}

QString FileScenario::description() const
{
    return QStringLiteral("file: %1 rows from %2, one per measurement request, repeating")
        .arg(rows.size())
        .arg(name);
}

RawMeasurement CheckScenario::at(qint64 ms)
{
    RawMeasurement m{0, 0, 0, 25, 30, 2048};
    // Two slow waves, a few hundredths each: never steady, never off.
    const double wander = 12 * std::sin(ms / 700.0) + 6 * std::sin(ms / 230.0);
    m.n = qint16(qBound(0.0, centre + wander, 9999.0));
    if (centre == 0)
        m.n = qint16(wander / 2);
    m.ns = qint16(qMax(0, int(m.n)));
    m.k = qint16(qRound(Opacity::kFromNs(m.ns / 100.0) * 100));
    return m;
}

QString CheckScenario::description() const
{
    return centre == 0 ? QStringLiteral("zero: N within 0.1 % of 0")
                       : QStringLiteral("filter: N within 0.2 % of %1 %").arg(numbers::hundredths(centre));
}

std::unique_ptr<Scenario> makeScenario(const SimOptions &options, QString *error)
{
    const QString &name = options.scenario;
    if (name == QLatin1String("steady"))
        return std::make_unique<SteadyScenario>(options.steady);
    if (name == QLatin1String("smoke"))
        return std::make_unique<SmokeScenario>(options.periodMs);
    if (name == QLatin1String("step-up") || name == QLatin1String("step-down"))
        return std::make_unique<StepScenario>(
            name == QLatin1String("step-up") ? StepScenario::Up : StepScenario::Down,
            options.tauMs, options.periodMs);
    if (name == QLatin1String("free-accel"))
        return std::make_unique<FreeAccelScenario>(options.steady.k, options.peaks, options.periodMs);
    if (name == QLatin1String("zero") || name == QLatin1String("filter"))
        return std::make_unique<CheckScenario>(name == QLatin1String("zero") ? 0 : options.checkN);
    if (name == QLatin1String("file"))
        return FileScenario::load(options.csvPath, error);
    *error = QStringLiteral("unknown scenario '%1'").arg(name);
    return nullptr;
}
