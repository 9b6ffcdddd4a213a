#include <QApplication>

#include "app/programrun.h"
#include "app/textfit.h"

int main(int argc, char *argv[])
{
    TextFit::scaleWithScreen();
    QApplication app(argc, argv);
    return runProgram();
}
