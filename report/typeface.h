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
// other systems (Adobe's, then Google's build that Debian ships). Qt tries
// them only when the system has no family of the form's own name, and
// skips those it lacks, so the font database is not read for this.
void mapFormFamily();

// Maps the family and makes it the application's font, so that a report
// laid out without a window prints with it too.
void useFormFamily();

} // namespace Typeface

#endif
