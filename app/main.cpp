#include <QApplication>
#include <QFontDatabase>

#include "app/language.h"
#include "app/mainwindow.h"
#include "app/textfit.h"
#include "config/uisettings.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TextFit::useFormFamily(QFontDatabase().families());
    Language::switchTo(settings::storedLanguage());
    mainwindow window;
    window.startApi();
    window.show();
    return app.exec();
}
