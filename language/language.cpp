#include "language/language.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEvent>
#include <QTranslator>

// Outside any namespace, as Q_INIT_RESOURCE requires. The translations live
// in a static library; this pulls them into the program and registers them.
static void registerTranslations()
{
    Q_INIT_RESOURCE(translations);
}

namespace {

QString shown = QStringLiteral("zh");

QTranslator *englishTranslator()
{
    // Owned by the application, so it outlives every widget that uses it.
    static QTranslator *translator = nullptr;
    if (!translator) {
        registerTranslations();
        translator = new QTranslator(QCoreApplication::instance());
        if (!translator->load(QStringLiteral(":/translations/opacimeter_en.qm")))
            qWarning() << "the English translation is missing from the program";
    }
    return translator;
}

} // namespace

namespace Language {

bool switchTo(const QString &code)
{
    if (code != QLatin1String("zh") && code != QLatin1String("en"))
        return false;
    if (code == shown)
        return true;
    if (code == QLatin1String("en")) {
        QTranslator *translator = englishTranslator();
        if (translator->isEmpty())
            return false;
        QCoreApplication::installTranslator(translator);
    } else {
        QCoreApplication::removeTranslator(englishTranslator());
    }
    shown = code;
    // QApplication posts the change to each window; deliver it now, so the
    // caller sees the new texts when this returns.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    return true;
}

QString current()
{
    return shown;
}

} // namespace Language
