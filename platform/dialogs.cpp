#include "dialogs.h"
#include "qtdialogs.h"

namespace platform {

namespace {
Dialogs *g_dialogs = nullptr;
}

Dialogs &dialogs()
{
    if (g_dialogs)
        return *g_dialogs;
    static QtDialogs qtDialogs;
    return qtDialogs;
}

void setDialogs(Dialogs *d)
{
    g_dialogs = d;
}

void ShowError(QWidget *owner, const QString &text)
{
    dialogs().MsgBox(owner, {text, MsgIcon::Exclamation, MsgButtons::OK, MsgAnswer::OK});
}

void ShowInformation(QWidget *owner, const QString &text)
{
    dialogs().MsgBox(owner, {text, MsgIcon::Information, MsgButtons::OK, MsgAnswer::OK});
}

bool AskYesNo(QWidget *owner, const QString &text)
{
    return dialogs().MsgBox(owner, {text, MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::No}) == MsgAnswer::Yes;
}

MsgAnswer AskYesNoCancel(QWidget *owner, const QString &text)
{
    return dialogs().MsgBox(owner, {text, MsgIcon::Question, MsgButtons::YesNoCancel, MsgAnswer::Cancel});
}

} // namespace platform
