#include "language/language.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEvent>
#include <QLibraryInfo>
#include <QTranslator>

// Outside any namespace, as Q_INIT_RESOURCE requires. The translations live
// in a static library; this pulls them into the program and registers them.
static void registerTranslations()
{
    Q_INIT_RESOURCE(translations);
}

namespace {

QString shown = QStringLiteral("zh");

// Owned by the application, so it outlives every widget that uses it;
// loaded only once English is asked for, not to be taken out at every start.
QTranslator *english = nullptr;

QTranslator *englishTranslator()
{
    if (!english) {
        registerTranslations();
        english = new QTranslator(QCoreApplication::instance());
        if (!english->load(QStringLiteral(":/translations/opacimeter_en.qm")))
            qWarning() << "the English translation is missing from the program";
    }
    return english;
}

// Qt's own texts (the standard buttons, the file and print dialogs) in
// Chinese, from the system's Qt translations; English is Qt's source text.
// Empty when the system has none: Qt's texts then stay English.
const QList<QTranslator *> &qtChinese()
{
    static QList<QTranslator *> translators;
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        const QString folder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
        for (const char *module : {"qtbase", "qtserialport", "qtwebsockets"}) {
            auto *t = new QTranslator(QCoreApplication::instance());
            if (t->load(QStringLiteral("%1_zh_CN").arg(QLatin1String(module)), folder))
                translators << t;
            else
                delete t;
        }
        if (translators.isEmpty())
            qWarning().noquote() << "Qt's Chinese translations are not in" << folder
                                 << "(Debian package qttranslations5-l10n): its own buttons and dialogs stay English";
    }
    return translators;
}

bool qtChineseInstalled = false;

void installQtChinese(bool on)
{
    if (on == qtChineseInstalled)
        return;
    qtChineseInstalled = on;
    for (QTranslator *t : qtChinese()) {
        if (on)
            QCoreApplication::installTranslator(t);
        else
            QCoreApplication::removeTranslator(t);
    }
}

} // namespace

namespace Language {

bool switchTo(const QString &code)
{
    if (code != QLatin1String("zh") && code != QLatin1String("en"))
        return false;
    // The program starts Chinese, but Qt's own texts only once asked for.
    if (code == shown && qtChineseInstalled == (code == QLatin1String("zh")))
        return true;
    if (code == QLatin1String("en")) {
        QTranslator *translator = englishTranslator();
        if (translator->isEmpty())
            return false;
        installQtChinese(false);
        QCoreApplication::installTranslator(translator);
    } else {
        if (english)
            QCoreApplication::removeTranslator(english);
        installQtChinese(true);
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
