#include "app/startup.h"
#include "app/windows.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    startProgram();
    const int exitCode = QApplication::exec();
    Windows::destroyAll();
    return exitCode;
}
