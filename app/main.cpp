#include <QApplication>
#include <QFontDatabase>

#include "app/mainwindow.h"
#include "app/textfit.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TextFit::mapFormFamily(QFontDatabase().families());
    mainwindow window;
    window.startApi();
    window.show();
    return app.exec();
}
