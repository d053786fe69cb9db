#include "app/frmMain.h"
#include "platform/translations.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumeno"));
    platform::InstallJapaneseQtTexts(application);
    frmMain window;
    window.Form_Load();
    return application.exec();
}
