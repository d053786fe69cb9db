#include "dialogs.h"

namespace platform {

void ShowError(QWidget *owner, const QString &text)
{
    dialogs().MsgBox(owner, { text, MsgIcon::Exclamation, MsgButtons::OK, MsgAnswer::OK, {}, {} });
}

void ShowInformation(QWidget *owner, const QString &text)
{
    dialogs().MsgBox(owner, { text, MsgIcon::Information, MsgButtons::OK, MsgAnswer::OK, {}, {} });
}

bool AskYesNo(QWidget *owner, const QString &text)
{
    return dialogs().MsgBox(owner, { text, MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::No, {}, {} })
        == MsgAnswer::Yes;
}

MsgAnswer AskYesNoCancel(QWidget *owner, const QString &text)
{
    return dialogs().MsgBox(owner, { text, MsgIcon::Question, MsgButtons::YesNoCancel, MsgAnswer::Cancel, {}, {} });
}

} // namespace platform
