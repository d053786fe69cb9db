#pragma once

// The file-type association of local shortcuts (.lmk) with this program, made the freedesktop
// way in the user's data folder ($XDG_DATA_HOME, else ~/.local/share): a MIME package that
// names *.lmk as the type Lumeno.LocalShortcut with its description and icon, the shortcut
// icon, and a desktop entry whose Exec passes the shortcut to this executable. A system-wide
// install uses the same type, icon and entry names.
//
// The association is made once: when the MIME package is already there, nothing is written,
// whatever the other files hold. Each step stands where a registry call stood on Windows and
// shows that call's message when it fails; the steps after it are not taken:
//
//   RegCreateKeyEx[1]    make mime/packages
//   RegSetValueEx[1]     write mime/packages/Lumeno.LocalShortcut.xml: *.lmk is
//                        application/x-lumeno-localshortcut, its comment the description
//   RegCreateKeyEx[2]    make applications
//   RegSetValueEx[2-1]   write applications/lumeno.desktop: the program that opens the type
//   RegSetValueEx[2-2]   start refreshing the desktop's caches with update-mime-database and
//                        update-desktop-database, not waiting for them; a tool that is not
//                        installed is skipped
//   RegCreateKeyEx[3]    make icons/hicolor/48x48/mimetypes
//   RegSetValueEx[3]     write the shortcut icon application-x-lumeno-localshortcut.png
//   RegCreateKeyEx[4]    make icons/hicolor/48x48/apps
//   RegSetValueEx[4]     write the program's icon lumeno.png, which the desktop entry names
//
// Every file is written whole or not at all.

#include <QByteArray>
#include <QString>

namespace app {

inline constexpr char SHORTCUT_MIME_TYPE[] = "application/x-lumeno-localshortcut";
inline constexpr char SHORTCUT_MIME_PACKAGE[] = "mime/packages/Lumeno.LocalShortcut.xml";
inline constexpr char SHORTCUT_ICON_FILE[] = "icons/hicolor/48x48/mimetypes/application-x-lumeno-localshortcut.png";
inline constexpr char PROGRAM_ICON_FILE[] = "icons/hicolor/48x48/apps/lumeno.png";
inline constexpr char DESKTOP_ENTRY_FILE[] = "applications/lumeno.desktop";

// $XDG_DATA_HOME when it is an absolute path, otherwise ~/.local/share.
QString UserDataHome();

QByteArray MimePackageText();
// The desktop entry for the executable at this absolute path.
QByteArray DesktopEntryText(const QString &executable);
// One Exec argument: quoted, with the characters the desktop entry format reserves escaped.
QString DesktopExecArgument(const QString &path);

// Makes the association below dataHome for the executable, unless its MIME package is already
// there. Answers the message of the step that failed, or an empty text.
QString RegisterAssociation(const QString &dataHome, const QString &executable);

} // namespace app
