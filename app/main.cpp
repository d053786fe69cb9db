#include "app/frmMain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumeno"));
    frmMain window;
    window.Form_Load();
    return application.exec();
}
