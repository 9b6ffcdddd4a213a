#ifndef CONFIG_PROFILESETTINGS_H
#define CONFIG_PROFILESETTINGS_H

#include <QString>
#include <QStringList>
#include <QVector>

#include "records/procedureprofile.h"
#include "records/testsubject.h"

// The procedure profile a station tests by, section [Procedure] of set.ini:
//
//   [Procedure]
//   Profile=GB3847-2018   the Id of a file in one of profileFolders()
//   Variant=a             which of the profile's limit variants, a or b
//
// Without the section (or with Profile=自定义) the method of
// [FreeAcceleration] and the table of [Limits] stand, as "自定义".
namespace settings {

struct ProcedureChoice {
    QString profile = ProcedureProfile::CustomId;
    QString variant = QStringLiteral("a");
};

ProcedureChoice storedProcedureChoice();
// 自定义 with variant a removes the section.
void storeProcedureChoice(const ProcedureChoice &choice);

// Where profiles are looked for, first first: the working folder's
// profiles/, the installed folder, then the source tree's (for a build run
// where it was made).
QStringList profileFolders();
// Every profile that reads, the first of each Id; the files refused are
// named in 'faults'.
QVector<ProcedureProfile> availableProfiles(QStringList *faults = nullptr);
// The profile set.ini chooses, 自定义 made from set.ini, or, when the
// chosen one is missing or refused, one that says why (usable() false).
ProcedureProfile activeProfile();
// The subject of a test by 'profile': 自定义 takes [Limits] as set.ini says now.
TestSubject subjectFor(const ProcedureProfile &profile, const Vehicle &vehicle,
                       const QString &operatorName, std::optional<double> manualK);

} // namespace settings

#endif
