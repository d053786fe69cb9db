#include "app/endsignals.h"
#include "app/frmMain.h"
#include "platform/translations.h"

#include <QApplication>
#include <csignal>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumeno"));
    platform::InstallJapaneseQtTexts(application);
    frmMain window;
    // A logout, a shutdown or a kill ends the program, but not before the text is on the disk.
    app::EndSignals endSignals;
    int endedBy = 0;
    QObject::connect(&endSignals, &app::EndSignals::received, &window, [&window, &endedBy](int number) {
        window.EndFromOutside();
        endedBy = number;
        QCoreApplication::exit(0);
    });
    window.Form_Load();
    const int status = endedBy != 0 ? 0 : application.exec();
    if (endedBy != 0) {
        // Ended as the signal ends a program: whoever sent it sees so.
        std::signal(endedBy, SIG_DFL);
        std::raise(endedBy);
    }
    return status;
}
