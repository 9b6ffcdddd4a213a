#include "records/testsubject.h"

#include <QCoreApplication>

#include "records/recordcheck.h"

TestSubject TestSubject::of(const Vehicle &vehicle, const QString &operatorName,
                            const LimitsTable &table, std::optional<double> manualK)
{
    TestSubject subject;
    subject.vehicle = vehicle;
    subject.operatorName = operatorName;
    subject = subject.normalised();
    subject.limit = selectLimit(subject.vehicle, table, manualK);
    return subject;
}

TestSubject TestSubject::of(const Vehicle &vehicle, const QString &operatorName,
                            const ProcedureProfile &profile, std::optional<double> manualK)
{
    TestSubject subject = of(vehicle, operatorName, profile.table, manualK);
    subject.limit = profile.limitFor(subject.vehicle, manualK);
    return subject;
}

TestSubject TestSubject::normalised() const
{
    TestSubject subject = *this;
    subject.vehicle.plate = VehicleRules::normalisedPlate(vehicle.plate);
    subject.vehicle.vin = VehicleRules::normalisedVin(vehicle.vin);
    subject.operatorName = operatorName.trimmed();
    return subject;
}

QString TestSubject::fault(Words words) const
{
    const auto say = [words](const char *source) {
        return words == Words::Shown ? QCoreApplication::translate("TestSubject", source)
                                     : QString::fromUtf8(source);
    };
    if (!VehicleRules::isValidPlate(vehicle.plate))
        return say(QT_TRANSLATE_NOOP("TestSubject", "号牌号码“%1”无效：最多 %2 个字母、数字或汉字"))
            .arg(vehicle.plate)
            .arg(VehicleRules::MaxPlateLength);
    if (VehicleRules::checkVin(vehicle.vin) == VehicleRules::VinCheck::Invalid)
        return say(QT_TRANSLATE_NOOP("TestSubject", "VIN“%1”无效：应为 17 位数字或字母（不含 I、O、Q）"))
            .arg(vehicle.vin);
    if (const QString why = nameProblem(operatorName, words == Words::Shown); !why.isEmpty())
        return say(QT_TRANSLATE_NOOP("TestSubject", "检测员：%1")).arg(why);
    if (limit.hasLimit() && !(limit.limitK > 0))
        return say(QT_TRANSLATE_NOOP("TestSubject", "限值必须大于 0"));
    return QString();
}
