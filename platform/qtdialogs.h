#pragma once

#include "dialogs.h"

namespace platform {

// The real dialogs, built on QMessageBox, QInputDialog, QFileDialog, QFontDialog and QPrintDialog.
class QtDialogs final : public Dialogs {
public:
    MsgAnswer MsgBox(QWidget *owner, const MessageRequest &request) override;
    QString InputBox(QWidget *owner, const QString &prompt, const QString &initialText) override;
    std::optional<QString> SaveFileName(QWidget *owner, const SaveFileRequest &request) override;
    std::optional<FontChoice> ChooseFont(QWidget *owner, const FontChoice &initial) override;
    bool PrintDialog(QWidget *owner, QPrinter &printer) override;
    bool PrinterSetup(QWidget *owner, QPrinter &printer) override;
};

} // namespace platform
