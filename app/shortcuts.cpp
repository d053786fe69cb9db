// Local shortcut files (.lmk), their file-type registration, and drops on the editing box.

#include "frmMain.h"

// The shortcut files arrive with their own change: the opening of a shortcut from the command
// line or a drop, the registration of the file type at start-up, the shortcut command and
// the File menu's refresh of it. Start-up and the first activation call them already.
void frmMain::OpenShortcut(const QString &path)
{
    Q_UNUSED(path)
}

void frmMain::RegisterShortcutType() { }
void frmMain::menuShortcut_Click() { }
void frmMain::mhdFile_Click() { }
