#include "records/procedureprofile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

const QString ProcedureProfile::CustomId = QStringLiteral("自定义");

namespace {

QString say(const char *text)
{
    return QCoreApplication::translate("ProcedureProfile", text);
}

// Reads one group's keys and keeps the first fault, named by file, group and key.
class KeyReader
{
public:
    // 'row' names a row of an array group ("2\K").
    KeyReader(QSettings &file, const QString &fileName, const QString &group, QString *fault,
              int row = 0)
        : file(file), fileName(fileName), group(group),
          prefix(row ? QStringLiteral("%1\\").arg(row) : QString()), fault(fault) {}

    // QSettings reads "a,b" as a list.
    QString text(const QString &key, bool required = true)
    {
        const QVariant v = file.value(key);
        if (!v.isValid() && required)
            fail(key, say(QT_TRANSLATE_NOOP("ProcedureProfile", "缺失")));
        return v.type() == QVariant::StringList ? v.toStringList().join(QLatin1Char(','))
                                                : v.toString().trimmed();
    }
    double number(const QString &key, double low, double high)
    {
        const QString t = text(key);
        bool ok = false;
        const double value = t.toDouble(&ok);
        if (!ok)
            fail(key, say(QT_TRANSLATE_NOOP("ProcedureProfile", "'%1' 不是数字")).arg(t));
        else if (value < low || value > high)
            fail(key,
                   say(QT_TRANSLATE_NOOP("ProcedureProfile", "'%1' 不在 %2 到 %3 之间")).arg(t).arg(low).arg(high));
        return value;
    }
    int whole(const QString &key, int low, int high)
    {
        const double value = number(key, low, high);
        if (ok() && value != int(value))
            fail(key, say(QT_TRANSLATE_NOOP("ProcedureProfile", "'%1' 不是整数")).arg(text(key)));
        return int(value);
    }
    bool flag(const QString &key, bool required = true)
    {
        const QString t = text(key, required).toLower();
        if (!t.isEmpty() && t != QLatin1String("true") && t != QLatin1String("false"))
            fail(key, say(QT_TRANSLATE_NOOP("ProcedureProfile", "'%1' 应为 true 或 false")).arg(t));
        return t == QLatin1String("true");
    }
    QDate date(const QString &key)
    {
        const QString t = text(key, false);
        const QDate d = QDate::fromString(t, Qt::ISODate);
        if (!t.isEmpty() && !d.isValid())
            fail(key, say(QT_TRANSLATE_NOOP("ProcedureProfile", "'%1' 不是日期（yyyy-MM-dd）")).arg(t));
        return d;
    }
    void fail(const QString &key, const QString &why)
    {
        if (fault->isEmpty())
            *fault = QStringLiteral("%1: [%2] %3%4 %5").arg(fileName, group, prefix, key, why);
    }
    bool ok() const { return fault->isEmpty(); }

private:
    QSettings &file;
    QString fileName;
    QString group;
    QString prefix;
    QString *fault;
};

LimitRow readRow(KeyReader &r)
{
    LimitRow row;
    row.name = r.text(QStringLiteral("Name"));
    row.nameEn = r.text(QStringLiteral("NameEn"), false);
    row.plateReplaces = r.flag(QStringLiteral("PlateReplaces"), false);
    // A row of the plate value alone has no K of its own.
    if (!row.plateReplaces || !r.text(QStringLiteral("K"), false).isEmpty())
        row.k = r.number(QStringLiteral("K"), 0.01, 10);
    row.variant = r.text(QStringLiteral("Variant"), false).toLower();
    if (!row.variant.isEmpty() && row.variant != QLatin1String("a") && row.variant != QLatin1String("b"))
        r.fail(QStringLiteral("Variant"),
               say(QT_TRANSLATE_NOOP("ProcedureProfile", "'%1' 应为 a 或 b")).arg(row.variant));
    row.registeredFrom = r.date(QStringLiteral("RegisteredFrom"));
    row.registeredUntil = r.date(QStringLiteral("RegisteredUntil"));
    bool known = true;
    const QString intake = r.text(QStringLiteral("Intake"), false);
    row.intake = Vehicle::intakeFromKey(intake, &known);
    if (!known)
        r.fail(QStringLiteral("Intake"),
               say(QT_TRANSLATE_NOOP("ProcedureProfile", "'%1' 应为 natural 或 turbo")).arg(intake));
    const QString categories = r.text(QStringLiteral("Categories"), false);
    for (const QString &c : categories.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        row.categories << c.trimmed();
        if (!Vehicle::categories().contains(c.trimmed()))
            r.fail(QStringLiteral("Categories"),
                   say(QT_TRANSLATE_NOOP("ProcedureProfile", "'%1' 不是车辆类别")).arg(c.trimmed()));
    }
    return row;
}

void readProcedure(QSettings &file, const QString &name, ProcedureProfile *p, QString *fault)
{
    file.beginGroup(QStringLiteral("Procedure"));
    KeyReader r(file, name, QStringLiteral("Procedure"), fault);
    FreeAccelMethod &m = p->method;
    m.name = p->id;
    m.ofProfile = true;
    m.purges = r.whole(QStringLiteral("Purges"), 0, 10);
    m.counted = r.whole(QStringLiteral("Counted"), 1, 10);
    m.band = r.number(QStringLiteral("Band"), 0, 10);
    m.rejectDecreasing = r.flag(QStringLiteral("RejectDecreasing"));
    m.maxSnaps = r.whole(QStringLiteral("MaxSnaps"), 1, 50);
    if (r.ok() && m.maxSnaps < m.purges + m.counted)
        r.fail(QStringLiteral("MaxSnaps"),
               say(QT_TRANSLATE_NOOP("ProcedureProfile", "'%1' 小于 Purges 与 Counted 之和")).arg(m.maxSnaps));
    p->outletSpread = r.number(QStringLiteral("OutletSpread"), 0, 10);
    file.endGroup();
}

void readChecks(QSettings &file, const QString &name, QString *fault)
{
    file.beginGroup(QStringLiteral("Checks"));
    KeyReader r(file, name, QStringLiteral("Checks"), fault);
    for (const QString &check : r.text(QStringLiteral("Daily")).split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!QStringList{"zero", "filter", "response"}.contains(check.trimmed()))
            r.fail(QStringLiteral("Daily"),
                   say(QT_TRANSLATE_NOOP("ProcedureProfile", "'%1' 应为 zero、filter 或 response")).arg(check.trimmed()));
    for (const char *key : {"ZeroMean", "ZeroMax", "FilterTolerance", "ResponseMin", "ResponseMax"})
        r.number(QLatin1String(key), 0, 20);
    file.endGroup();
}

} // namespace

bool ProfileStamp::isCustom() const
{
    return id.isEmpty() || id == ProcedureProfile::CustomId;
}

bool LimitRow::matches(const Vehicle &vehicle, const QString &chosen) const
{
    const QDate &first = vehicle.firstRegistration;
    if (!variant.isEmpty() && variant != chosen)
        return false;
    if (k <= 0 && !vehicle.plateValueK)
        return false;
    // A dated row needs the date, so a vehicle of unknown age is never placed by it.
    if (registeredFrom.isValid() && (!first.isValid() || first < registeredFrom))
        return false;
    if (registeredUntil.isValid() && (!first.isValid() || first > registeredUntil))
        return false;
    if (intake != Vehicle::Intake::Unknown && vehicle.intake != intake)
        return false;
    return categories.isEmpty() || categories.contains(vehicle.category);
}

ProcedureProfile ProcedureProfile::custom(const FreeAccelMethod &method, const LimitsTable &table)
{
    ProcedureProfile p;
    p.title = CustomId;
    p.method = method;
    p.table = table;
    return p;
}

bool ProcedureProfile::read(const QString &path, ProcedureProfile *profile, QString *error)
{
    const QString name = QFileInfo(path).fileName();
    QFile bytes(path);
    if (!bytes.open(QIODevice::ReadOnly)) {
        *error = say(QT_TRANSLATE_NOOP("ProcedureProfile", "%1: 无法读取（%2）")).arg(name, bytes.errorString());
        return false;
    }
    ProcedureProfile p;
    p.path = path;
    p.sha256 = QString::fromLatin1(QCryptographicHash::hash(bytes.readAll(), QCryptographicHash::Sha256).toHex());
    QSettings file(path, QSettings::IniFormat);
    file.setIniCodec("UTF-8");
    QString fault;
    file.beginGroup(QStringLiteral("Profile"));
    KeyReader head(file, name, QStringLiteral("Profile"), &fault);
    p.id = head.text(QStringLiteral("Id"));
    p.title = head.text(QStringLiteral("Title"));
    p.titleEn = head.text(QStringLiteral("TitleEn"), false);
    p.standard = head.text(QStringLiteral("Standard"));
    p.version = head.text(QStringLiteral("Version"));
    file.endGroup();
    readProcedure(file, name, &p, &fault);
    const int rows = file.beginReadArray(QStringLiteral("Limits"));
    KeyReader size(file, name, QStringLiteral("Limits"), &fault);
    if (rows < 1)
        size.fail(QStringLiteral("size"), say(QT_TRANSLATE_NOOP("ProcedureProfile", "缺失")));
    for (int i = 0; i < rows && fault.isEmpty(); ++i) {
        file.setArrayIndex(i);
        KeyReader row(file, name, QStringLiteral("Limits"), &fault, i + 1);
        p.limits << readRow(row);
    }
    file.endArray();
    readChecks(file, name, &fault);
    if (!fault.isEmpty()) {
        *error = fault;
        return false;
    }
    *profile = p;
    return true;
}

LimitChoice ProcedureProfile::limitFor(const Vehicle &vehicle, std::optional<double> manualK) const
{
    if (isCustom() || manualK)
        return selectLimit(vehicle, table, manualK);
    if (vehicle.isServiceTest())
        return {};
    for (const LimitRow &row : limits)
        if (row.matches(vehicle, variant)) {
            if (row.plateReplaces && vehicle.plateValueK)
                return {LimitSource::PlateValue, *vehicle.plateValueK, row.name};
            return {LimitSource::Table, row.k, row.name};
        }
    return {};
}

QString ProcedureProfile::shownTitle(bool english) const
{
    return english && !titleEn.isEmpty() ? titleEn : title;
}

QString ProcedureProfile::shownRowName(const QString &row, bool english) const
{
    for (const LimitRow &r : limits)
        if (english && r.name == row && !r.nameEn.isEmpty())
            return r.nameEn;
    return row;
}
