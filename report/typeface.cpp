#include "report/typeface.h"

#include <QFont>
#include <QGuiApplication>

namespace Typeface {

QString formFamily()
{
    return QStringLiteral("思源黑体");
}

void mapFormFamily()
{
    // Adobe's names first (the current release, then the first one), then
    // Google's build of the same design, which Debian ships as fonts-noto-cjk.
    QFont::insertSubstitutions(formFamily(), {QStringLiteral("Source Han Sans SC"), QStringLiteral("Source Han Sans CN"),
                                              QStringLiteral("Noto Sans CJK SC")});
}

void useFormFamily()
{
    mapFormFamily();
    QFont font = QGuiApplication::font();
    font.setFamily(formFamily());
    QGuiApplication::setFont(font);
}

} // namespace Typeface
