#ifndef REPORT_TYPEFACE_H
#define REPORT_TYPEFACE_H

#include <QStringList>

// The one typeface the program draws and prints with, whichever name the
// system gives it; the window and the records tool's reports both use it, so
// a record prints the same from either.
namespace Typeface {

// The family the form asks for: "思源黑体".
QString formFamily();

// Maps the form's family to the same typeface under the names it has on
// other systems, when the system does not know it as is. Takes the system's
// families (QFontDatabase().families()); returns the names mapped to, empty
// when nothing was mapped.
QStringList mapFormFamily(const QStringList &knownFamilies);

// Maps the family and makes it the application's font, so that a report
// laid out without a window prints with it too.
void useFormFamily(const QStringList &knownFamilies);

} // namespace Typeface

#endif
