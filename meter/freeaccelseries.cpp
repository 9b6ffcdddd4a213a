#include "meter/freeaccelseries.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace {
// Peaks come from the meter in hundredths, decoded through float; two peaks
// closer than this are the same figure.
constexpr double Tolerance = 1e-4;
} // namespace

const QString FreeAccelMethod::CustomName = QStringLiteral("自定义");

FreeAccelMethod FreeAccelMethod::r24()
{
    FreeAccelMethod m;
    m.name = QStringLiteral("R24");
    return m;
}

FreeAccelMethod FreeAccelMethod::threeMean()
{
    FreeAccelMethod m;
    m.name = QStringLiteral("三次平均");
    m.counted = 3;
    m.band = 0.50;
    m.rejectDecreasing = false;
    return m;
}

QList<FreeAccelMethod> FreeAccelMethod::presets()
{
    return {r24(), threeMean()};
}

bool FreeAccelMethod::sameRules(const FreeAccelMethod &other) const
{
    return purges == other.purges && counted == other.counted && std::abs(band - other.band) < Tolerance
           && rejectDecreasing == other.rejectDecreasing && maxSnaps == other.maxSnaps;
}

FreeAccelMethod FreeAccelMethod::bounded() const
{
    FreeAccelMethod m = *this;
    m.purges = qBound(0, purges, 10);
    m.counted = qBound(1, counted, 10);
    m.band = ofProfile && band <= 0 ? 0 : qBound(0.01, band, 10.0);
    m.maxSnaps = qBound(m.purges + m.counted, maxSnaps, 50);
    m.limitK = qBound(0.0, limitK, 10.0);
    // A preset's name on other rules would mislabel the results.
    bool named = false;
    for (const FreeAccelMethod &p : presets())
        if (p.name == m.name)
            named = m.sameRules(p);
    if (!named && !ofProfile)
        m.name = CustomName;
    return m;
}

bool FreeAccelSeries::running() const
{
    return current != State::NotStarted && !finished();
}

bool FreeAccelSeries::finished() const
{
    return current == State::Valid || current == State::Invalid || current == State::Abandoned;
}

void FreeAccelSeries::start(const FreeAccelMethod &method, qint64 ms)
{
    rules = method.bounded();
    detector.reset();
    found.clear();
    mean = 0;
    startMs = ms;
    endMs = 0;
    current = State::WaitingForIdle;
}

bool FreeAccelSeries::stop(qint64 ms)
{
    if (!running())
        return false;
    finish(State::Abandoned, ms);
    return true;
}

void FreeAccelSeries::finish(State end, qint64 ms)
{
    current = end;
    endMs = ms;
}

bool FreeAccelSeries::lastPeaksQualify(const QVector<double> &peaks, const FreeAccelMethod &method)
{
    const int n = method.counted;
    if (peaks.size() - method.purges < n)
        return false;
    const QVector<double> last = peaks.mid(peaks.size() - n);
    const auto range = std::minmax_element(last.cbegin(), last.cend());
    if (method.band > 0 && *range.second - *range.first > method.band + Tolerance)
        return false;
    if (!method.rejectDecreasing || n < 2)
        return true;
    for (int i = 1; i < n; ++i)
        if (last.at(i) > last.at(i - 1) - Tolerance)
            return true;  // not strictly decreasing
    return false;
}

FreeAccelSeries::Step FreeAccelSeries::onReading(qint64 ms, double k, double n)
{
    Step step;
    if (!running())
        return step;

    Snap snap;
    step.snapEnded = detector.feed(ms, k, n, &snap);
    if (step.snapEnded) {
        found.append(snap);
        QVector<double> peaks;
        for (const Snap &s : found)
            peaks.append(s.peakK);
        if (lastPeaksQualify(peaks, rules)) {
            double sum = 0;
            for (int i = found.size() - rules.counted; i < found.size(); ++i)
                sum += found.at(i).peakK;
            mean = std::round(sum / rules.counted * 100.0) / 100.0;
            finish(State::Valid, ms);
        } else if (found.size() >= rules.maxSnaps) {
            finish(State::Invalid, ms);
        }
        step.finished = finished();
        if (step.finished)
            return step;
    }

    switch (detector.phase()) {
    case SnapDetector::Phase::WaitingForIdle:
        current = State::WaitingForIdle;
        break;
    case SnapDetector::Phase::Idle:
        current = State::ReadyForSnap;
        break;
    case SnapDetector::Phase::InSnap:
        current = State::InSnap;
        break;
    }
    return step;
}

QVector<int> FreeAccelSeries::countedIndexes() const
{
    QVector<int> indexes;
    if (current == State::Valid)
        for (int i = found.size() - rules.counted; i < found.size(); ++i)
            indexes.append(i);
    return indexes;
}

QString FreeAccelSeries::verdict() const
{
    if (current != State::Valid || !rules.hasLimit)
        return QString();
    return mean <= rules.limitK + Tolerance ? QStringLiteral("合格") : QStringLiteral("不合格");
}
