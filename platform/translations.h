#pragma once

class QCoreApplication;

namespace platform {

// Qt's own texts (the standard buttons, the input box, the save-file, font and print dialogs,
// the editing box's context menu) in Japanese, whatever the system's locale, so that they read
// as the rest of the program. False when Qt's Japanese translations are not installed: the
// program still works, with those texts in English.
bool InstallJapaneseQtTexts(QCoreApplication &application);

} // namespace platform
