#include "config/profilesettings.h"

#include <QCoreApplication>
#include <QDir>

#include "config/inifile.h"
#include "config/limitsettings.h"
#include "config/settings.h"

namespace settings {

ProcedureChoice storedProcedureChoice()
{
    const IniFile file;
    ProcedureChoice choice;
    const QString profile = file.value(QStringLiteral("Procedure/Profile")).toString().trimmed();
    if (!profile.isEmpty())
        choice.profile = profile;
    const QString variant = file.value(QStringLiteral("Procedure/Variant")).toString().trimmed().toLower();
    if (!variant.isEmpty())
        choice.variant = variant;
    return choice;
}

void storeProcedureChoice(const ProcedureChoice &choice)
{
    IniFile file;
    if (choice.profile == ProcedureProfile::CustomId && choice.variant == QLatin1String("a")) {
        file.remove(QStringLiteral("Procedure"));
    } else {
        file.setValue(QStringLiteral("Procedure/Profile"), choice.profile);
        file.setValue(QStringLiteral("Procedure/Variant"), choice.variant);
    }
    file.commit();
}

QStringList profileFolders()
{
    const QDir program(QCoreApplication::applicationDirPath());
    QStringList folders{QDir::current().absoluteFilePath(QStringLiteral("profiles")),
                        QDir::cleanPath(program.filePath(QStringLiteral(OPA_INSTALLED_PROFILES))),
                        QStringLiteral(OPA_SOURCE_PROFILES)};
    folders.removeDuplicates();
    return folders;
}

QVector<ProcedureProfile> availableProfiles(QStringList *faults)
{
    QVector<ProcedureProfile> found;
    QStringList ids;
    for (const QString &folder : profileFolders()) {
        const QDir dir(folder);
        for (const QString &name : dir.entryList({QStringLiteral("*.ini")}, QDir::Files, QDir::Name)) {
            ProcedureProfile p;
            QString error;
            if (!ProcedureProfile::read(dir.filePath(name), &p, &error)) {
                if (faults)
                    *faults << error;
            } else if (!ids.contains(p.id) && !p.isCustom()) {
                ids << p.id;
                found << p;
            }
        }
    }
    return found;
}

ProcedureProfile activeProfile()
{
    const ProcedureChoice choice = storedProcedureChoice();
    if (choice.profile == ProcedureProfile::CustomId)
        return ProcedureProfile::custom(storedFreeAccelMethod(), storedLimitsTable());
    ProcedureProfile refused;
    refused.id = refused.title = choice.profile;
    if (choice.variant != QLatin1String("a") && choice.variant != QLatin1String("b")) {
        refused.refusal = QCoreApplication::translate("ProcedureProfile", "[Procedure] Variant '%1' 应为 a 或 b")
                              .arg(choice.variant);
        return refused;
    }
    QStringList faults;
    for (ProcedureProfile p : availableProfiles(&faults))
        if (p.id == choice.profile) {
            p.variant = choice.variant;
            return p;
        }
    // A file named after the profile that was refused says why.
    for (const QString &fault : faults)
        if (fault.startsWith(choice.profile + QLatin1String(".ini:"))) {
            refused.refusal = fault;
            return refused;
        }
    refused.refusal = QCoreApplication::translate("ProcedureProfile", "检测方案 %1 未找到（%2）")
                          .arg(choice.profile, profileFolders().join(QLatin1String("; ")));
    return refused;
}

TestSubject subjectFor(const ProcedureProfile &profile, const Vehicle &vehicle,
                       const QString &operatorName, std::optional<double> manualK)
{
    if (profile.isCustom())
        return TestSubject::of(vehicle, operatorName, storedLimitsTable(), manualK);
    return TestSubject::of(vehicle, operatorName, profile, manualK);
}

} // namespace settings
