#include <QApplication>

#include "app/programrun.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    return runProgram();
}
