#include "report/typeface.h"

#include <QFont>
#include <QGuiApplication>

namespace Typeface {

QString formFamily()
{
    return QStringLiteral("思源黑体");
}

QStringList mapFormFamily(const QStringList &knownFamilies)
{
    if (knownFamilies.contains(formFamily()))
        return {};
    // Adobe's names first (the current release, then the first one), then
    // Google's build of the same design, which Debian ships as fonts-noto-cjk.
    static const char *const otherNames[] = {"Source Han Sans SC", "Source Han Sans CN",
                                             "Noto Sans CJK SC"};
    QStringList found;
    for (const char *name : otherNames) {
        if (knownFamilies.contains(QLatin1String(name)))
            found << QLatin1String(name);
    }
    if (!found.isEmpty())
        QFont::insertSubstitutions(formFamily(), found);
    return found;
}

void useFormFamily(const QStringList &knownFamilies)
{
    mapFormFamily(knownFamilies);
    QFont font = QGuiApplication::font();
    font.setFamily(formFamily());
    QGuiApplication::setFont(font);
}

} // namespace Typeface
