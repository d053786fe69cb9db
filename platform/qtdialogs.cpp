#include "qtdialogs.h"

#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace platform {

namespace {

const QString kTitle = QStringLiteral("Lumeno");

QMessageBox::Icon toQt(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton toQt(MsgAnswer answer)
{
    switch (answer) {
    case MsgAnswer::OK: return QMessageBox::Ok;
    case MsgAnswer::Yes: return QMessageBox::Yes;
    case MsgAnswer::No: return QMessageBox::No;
    case MsgAnswer::Cancel: return QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButtons toQt(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OK: return QMessageBox::Ok;
    case MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

MsgAnswer fromQt(int button, MsgButtons buttons)
{
    switch (button) {
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    case QMessageBox::Ok: return MsgAnswer::OK;
    default: break;
    }
    // The close box: the safest answer the box offers.
    switch (buttons) {
    case MsgButtons::OK: return MsgAnswer::OK;
    case MsgButtons::YesNo: return MsgAnswer::No;
    case MsgButtons::YesNoCancel: return MsgAnswer::Cancel;
    }
    return MsgAnswer::Cancel;
}

} // namespace

MsgAnswer QtDialogs::MsgBox(QWidget *owner, const MessageRequest &request)
{
    QMessageBox box(toQt(request.icon), kTitle, request.text, toQt(request.buttons), owner);
    box.setDefaultButton(toQt(request.defaultButton));
    if (request.buttons == MsgButtons::YesNo)
        box.setEscapeButton(QMessageBox::No);
    if (!request.yesText.isEmpty())
        box.button(QMessageBox::Yes)->setText(request.yesText);
    if (!request.noText.isEmpty())
        box.button(QMessageBox::No)->setText(request.noText);
    return fromQt(box.exec(), request.buttons);
}

QString QtDialogs::InputBox(QWidget *owner, const QString &prompt, const QString &initialText)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(owner, kTitle, prompt, QLineEdit::Normal, initialText, &ok);
    return ok ? answer : QString();
}

std::optional<QString> QtDialogs::SaveFileName(QWidget *owner, const SaveFileRequest &request)
{
    QFileDialog dialog(owner, request.title, request.proposedName, request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.confirmOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<FontChoice> QtDialogs::ChooseFont(QWidget *owner, const FontChoice &initial)
{
    QFont font(initial.family);
    if (initial.pointSize > 0)
        font.setPointSizeF(initial.pointSize);
    bool ok = false;
    const QFont chosen
        = QFontDialog::getFont(&ok, font, owner, QString(), QFontDialog::ScalableFonts | QFontDialog::NonScalableFonts);
    if (!ok)
        return std::nullopt;
    return FontChoice { chosen.family(), chosen.pointSizeF() };
}

bool QtDialogs::PrintDialog(QWidget *owner, QPrinter &printer)
{
    QPrintDialog dialog(&printer, owner);
    dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogs::PrinterSetup(QWidget *owner, QPrinter &printer)
{
    QPageSetupDialog dialog(&printer, owner);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace platform
