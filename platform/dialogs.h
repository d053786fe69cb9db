#pragma once

#include <QString>
#include <optional>

class QWidget;
class QPrinter;

namespace platform {

enum class MsgIcon { None, Exclamation, Information, Question };
enum class MsgButtons { OK, YesNo, YesNoCancel };
enum class MsgAnswer { OK, Yes, No, Cancel };

struct MessageRequest {
    QString text;
    MsgIcon icon = MsgIcon::Exclamation;
    MsgButtons buttons = MsgButtons::OK;
    MsgAnswer defaultButton = MsgAnswer::OK;
    // Captions for Yes and No where the plain words would not say what the buttons do.
    QString yesText, noText;
};

// A local file chosen for saving (the shortcut command).
struct SaveFileRequest {
    QString title;
    QString proposedName;
    QString filter; // "Description (*.ext)"
    QString defaultSuffix; // without the dot
    bool confirmOverwrite = true;
};

struct FontChoice {
    QString family;
    double pointSize = 0;
};

// Every modal question the program asks goes through here: the application installs the Qt
// dialogs, tests install a scripted fake that records what was asked and answers as told.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Message boxes carry the title "Lumeno".
    virtual MsgAnswer MsgBox(QWidget *owner, const MessageRequest &request) = 0;
    // A simple input box; Cancel answers the empty text.
    virtual QString InputBox(QWidget *owner, const QString &prompt, const QString &initialText) = 0;
    virtual std::optional<QString> SaveFileName(QWidget *owner, const SaveFileRequest &request) = 0;
    virtual std::optional<FontChoice> ChooseFont(QWidget *owner, const FontChoice &initial) = 0;
    // The print dialog: false when cancelled; on acceptance the printer holds the user's choice.
    virtual bool PrintDialog(QWidget *owner, QPrinter &printer) = 0;
    // Printer and page setup: false when cancelled.
    virtual bool PrinterSetup(QWidget *owner, QPrinter &printer) = 0;
};

// The dialogs services() names.
Dialogs &dialogs();

// The message forms the program uses.
void ShowError(QWidget *owner, const QString &text); // exclamation, OK
void ShowInformation(QWidget *owner, const QString &text); // information, OK
bool AskYesNo(QWidget *owner, const QString &text); // question, Yes / No, No default
MsgAnswer AskYesNoCancel(QWidget *owner, const QString &text); // question, Cancel default

} // namespace platform
