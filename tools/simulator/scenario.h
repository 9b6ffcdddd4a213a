#ifndef SIMULATOR_SCENARIO_H
#define SIMULATOR_SCENARIO_H

#include <QString>
#include <QVector>

#include <memory>

#include "meter/measurementframe.h"

struct SimOptions;

// Where the simulated meter's values come from. Time-driven scenarios are
// pure functions of the time since the simulator started, so that a test
// can compute what the meter said at any moment.
class Scenario
{
public:
    virtual ~Scenario() = default;
    // The values for a measurement request made 'ms' after the start.
    virtual RawMeasurement at(qint64 ms) = 0;
    // One line for the start-up banner.
    virtual QString description() const = 0;
};

// Keeps N, Ns and K consistent the way a real meter's are: Ns is the
// opacity over the standard 0.43 m path, K follows from it by Beer-Lambert,
// and N is the opacity over the instrument's own, shorter path.
namespace Opacity {
constexpr double StandardPathM = 0.43;
constexpr double InstrumentPathM = 0.215;
double kFromNs(double nsPercent);
double nFromK(double k);
// The three values in the meter's hundredths.
void fill(RawMeasurement &m, double nsPercent);
} // namespace Opacity

class SteadyScenario : public Scenario
{
public:
    explicit SteadyScenario(const RawMeasurement &values) : values(values) {}
    RawMeasurement at(qint64) override { return values; }
    QString description() const override;

private:
    RawMeasurement values;
};

// Free-acceleration puffs: Ns rises within about 0.8 s one second into each
// cycle, peaks (at a height that changes from cycle to cycle), decays over
// a few seconds; the temperatures and the energy value drift slowly.
class SmokeScenario : public Scenario
{
public:
    explicit SmokeScenario(int periodMs) : periodMs(periodMs) {}
    RawMeasurement at(qint64 ms) override;
    QString description() const override;

    static constexpr int PuffStartMs = 1000;
    static constexpr int RiseMs = 800;
    static constexpr int DecayTauMs = 1200;
    static constexpr double BaselinePercent = 0.5;
    // Ns in percent, before rounding.
    double ns(qint64 ms) const;
    double peakPercent(qint64 cycle) const;

private:
    int periodMs;
};

// Ns steps between 0 and 100 % half-way through each cycle and follows a
// first-order response with time constant tau; at the end of the cycle it
// jumps back. The true 10-90 % time is tau * ln 9.
class StepScenario : public Scenario
{
public:
    enum Direction { Up, Down };
    StepScenario(Direction direction, int tauMs, int periodMs)
        : direction(direction), tauMs(tauMs), periodMs(periodMs) {}
    RawMeasurement at(qint64 ms) override;
    QString description() const override;

    double level(qint64 ms) const;  // Ns in percent, before rounding
    qint64 stepPhaseMs() const { return periodMs / 2; }
    double tenToNinetyMs() const;
    // Time after the step at which the response passes 'percent' of the way.
    double crossingMs(double fraction) const;

private:
    Direction direction;
    int tauMs;
    int periodMs;
};

// Free-acceleration snaps of a diesel engine: K idles at 'idleK' until
// LeadMs after the first request, then one snap per period rises to each
// peak in turn within RiseMs, holds it for HoldMs (so a 10-a-second poll
// reads the exact peak) and falls back over FallMs; after the last peak the
// engine idles. N and Ns both follow K over the 0.43 m standard path. The
// clock starts at the first request, so the operator's series starts with
// the snaps however late the program connects.
class FreeAccelScenario : public Scenario
{
public:
    FreeAccelScenario(qint16 idleK, const QVector<qint16> &peaks, int periodMs)
        : idleK(idleK), peaks(peaks), periodMs(periodMs) {}
    RawMeasurement at(qint64 ms) override;
    QString description() const override;

    static constexpr int LeadMs = 5000;
    static constexpr int RiseMs = 500;
    static constexpr int HoldMs = 300;
    static constexpr int FallMs = 2000;
    // K in 1/m 'ms' after the first request.
    double k(qint64 ms) const;

private:
    qint16 idleK;
    QVector<qint16> peaks;
    int periodMs;
    qint64 firstMs = -1;
};

// Rows of raw values from a CSV file, one row per measurement request,
// starting over after the last row.
// The meter on a daily check: N held near one value (0: a clean zero; a
// reference filter's nominal), wandering within 0.2 % so that the mean is
// what a check judges; Ns and K follow from N.
class CheckScenario : public Scenario
{
public:
    explicit CheckScenario(qint16 nHundredths) : centre(nHundredths) {}
    RawMeasurement at(qint64 ms) override;
    QString description() const override;

private:
    qint16 centre;
};

class FileScenario : public Scenario
{
public:
    // Parses "N,Ns,K,chamber,smoke,energy" rows of raw integers (N, Ns and K
    // in hundredths); '#' lines, blank lines and a first header line are
    // skipped. 'name' prefixes error messages ("name:line: ...").
    static std::unique_ptr<FileScenario> parse(const QByteArray &text, const QString &name,
                                               QString *error);
    static std::unique_ptr<FileScenario> load(const QString &path, QString *error);

    RawMeasurement at(qint64) override;
    QString description() const override;

private:
    QString name;
    QVector<RawMeasurement> rows;
    int nextRow = 0;
};

std::unique_ptr<Scenario> makeScenario(const SimOptions &options, QString *error);

#endif
