#include "app/endsignals.h"
#include "app/frmMain.h"
#include "platform/translations.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumeno"));
    platform::InstallJapaneseQtTexts(application);
    frmMain window;
    // A logout, a shutdown or a kill ends the program, but not before the text is on the disk.
    app::EndSignals endSignals;
    bool ended = false;
    QObject::connect(&endSignals, &app::EndSignals::received, &window, [&window, &ended] {
        window.EndFromOutside();
        ended = true;
        QCoreApplication::exit(0);
    });
    window.Form_Load();
    return ended ? 0 : application.exec();
}
