#include "document.h"

#include "app/drops.h"
#include "app/shortcutfile.h"
#include "dialogs/filer/filerrules.h"
#include "platform/dialogs.h"
#include "protocol/modPublic.h"

#include <QFileInfo>

namespace app {

namespace {

// For the scope: the window disabled.
class Locked {
public:
    explicit Locked(const DocumentSeams &seams)
        : m_seams(seams)
    {
        m_seams.lockWindow(true);
    }
    ~Locked() { m_seams.lockWindow(false); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;

private:
    const DocumentSeams &m_seams;
};

// For the scope of one request: the note, the busy indicator and the wait cursor.
class InProgress {
public:
    InProgress(const DocumentSeams &seams, const QString &note)
        : m_seams(seams)
    {
        m_seams.showProgress(note);
    }
    ~InProgress() { m_seams.showProgress(QString()); }
    InProgress(const InProgress &) = delete;
    InProgress &operator=(const InProgress &) = delete;

private:
    const DocumentSeams &m_seams;
};

// For the scope of a reading: the box may show what has arrived so far.
class Previewing {
public:
    explicit Previewing(const DocumentSeams &seams)
        : m_seams(seams)
    {
        if (m_seams.previewReading)
            m_seams.previewReading(true);
    }
    ~Previewing()
    {
        if (m_seams.previewReading)
            m_seams.previewReading(false);
    }
    Previewing(const Previewing &) = delete;
    Previewing &operator=(const Previewing &) = delete;

private:
    const DocumentSeams &m_seams;
};

using textencoding::TextEncoding;

// Saving in code page 932 replaces what it lacks with "?": the user decides before that
// happens, and may keep every character by saving in UTF-8 instead. The encoding to save in;
// nothing when the text is not to be saved.
std::optional<TextEncoding> EncodingToSaveIn(QWidget *owner, const QString &text, TextEncoding wanted)
{
    if (textencoding::CanEncode(text, wanted))
        return wanted;
    const platform::MessageRequest question { QStringLiteral(
                                                  "この文書にはShift-JISで保存できない文字が含まれています。\r\n"
                                                  "それらの文字を「?」に置き換えて保存しますか？\r\n\r\n"
                                                  "UTF-8で保存すると、すべての文字がそのまま保存されます。"),
        platform::MsgIcon::Question, platform::MsgButtons::YesNoCancel, platform::MsgAnswer::Cancel,
        QStringLiteral("「?」に置き換えて保存(&Y)"), QStringLiteral("UTF-8で保存(&U)") };
    switch (platform::dialogs().MsgBox(owner, question)) {
    case platform::MsgAnswer::Yes: return wanted;
    case platform::MsgAnswer::No: return TextEncoding::Utf8;
    default: return std::nullopt;
    }
}

HistoryItem CurrentFile()
{
    return { modPublic::strCurrentFolder, modPublic::strCurrentFile };
}

} // namespace

Document::Document(QWidget *owner, DocumentSeams seams)
    : seams(std::move(seams))
    , m_owner(owner)
{
}

modPublic::SaveResult Document::SaveToServer(const QString &text, const modPublic::SaveCondition &condition)
{
    modPublic::SaveOutcome outcome;
    {
        InProgress progress(seams, QStringLiteral("保存しています…"));
        outcome = seams.saveFile(modPublic::strCurrentFolder, modPublic::strCurrentFile,
            textencoding::EncodeDocument(text, encoding), condition);
    }
    switch (outcome.result) {
    case modPublic::SaveResult::Saved: break;
    case modPublic::SaveResult::Conflict: return outcome.result;
    case modPublic::SaveResult::Unconfirmed:
        platform::ShowError(m_owner,
            QStringLiteral("保存したファイルを確認できませんでした。\r\n"
                           "サーバに保存された内容が、送信した内容と一致しません。"));
        break;
    case modPublic::SaveResult::Failed:
        platform::ShowError(m_owner, QStringLiteral("ファイルの保存に失敗しました。"));
        return outcome.result;
    }
    // What the server holds now, even when it is not what was sent: the next save replaces it.
    strVersion = outcome.version;
    return outcome.result;
}

// Saves to the current file on the condition. When the file on the server is not what the
// condition expects, nothing was written and the user decides: replace it, save under another
// name, or keep the text unsaved.
bool Document::SaveOnCondition(const QString &text, const modPublic::SaveCondition &condition)
{
    const modPublic::SaveResult result = SaveToServer(text, condition);
    if (result == modPublic::SaveResult::Saved) {
        SetUnmodified();
        return true;
    }
    if (result != modPublic::SaveResult::Conflict)
        return false;
    if (condition.absent)
        return platform::AskYesNo(m_owner, filer::kReplaceQuestion) && SaveOnCondition(text, {});
    platform::MessageRequest question { QStringLiteral(
                                            "サーバ上のファイルは、この文書を開いた後に変更または削除されています。\r\n"
                                            "上書きしますか？"),
        platform::MsgIcon::Question, platform::MsgButtons::YesNoCancel, platform::MsgAnswer::Cancel,
        QStringLiteral("上書き(&O)"), QStringLiteral("別名で保存(&A)...") };
    switch (platform::dialogs().MsgBox(m_owner, question)) {
    case platform::MsgAnswer::Yes: return SaveOnCondition(text, {});
    case platform::MsgAnswer::No: return SaveAsWhileLocked(text);
    default: return false;
    }
}

bool Document::ConfirmSave()
{
    if (!blnModified)
        return true;
    switch (platform::AskYesNoCancel(m_owner, QStringLiteral("変更された内容をファイルに保存しますか？"))) {
    case platform::MsgAnswer::Yes:
        // Text that did not reach the server must not be replaced or dropped by the caller.
        return TrySaveCurrentDocument();
    case platform::MsgAnswer::No: return true;
    default: return false;
    }
}

void Document::SaveCurrentDocument()
{
    TrySaveCurrentDocument();
}

bool Document::TrySaveCurrentDocument()
{
    return modPublic::strCurrentFile.isEmpty() ? TrySaveDocumentAs() : TrySaveDocument();
}

void Document::NewDocument()
{
    if (!ConfirmSave())
        return;
    seams.setText(QString());
    ResetDocument();
    SetEncoding(TextEncoding::ShiftJis);
}

void Document::SetEncoding(TextEncoding newEncoding)
{
    encoding = newEncoding;
    if (seams.showEncoding)
        seams.showEncoding(encoding);
}

// The encoding the text is saved in: `wanted`, or what the user chooses when that would lose
// characters. False when the user keeps the text unsaved.
bool Document::ChooseSaveEncoding(const QString &text, TextEncoding wanted)
{
    const std::optional<TextEncoding> chosen = EncodingToSaveIn(m_owner, text, wanted);
    if (chosen)
        SetEncoding(*chosen);
    return chosen.has_value();
}

void Document::ResetDocument()
{
    modPublic::strCurrentFile.clear();
    modPublic::strCurrentFolder.clear();
    strVersion.clear();
    SetUnmodified();
    seams.showFileName(QStringLiteral("(No File)"));
}

void Document::SetUnmodified()
{
    blnModified = false;
    seams.dropDraft();
}

void Document::RestoreDraft(
    const QString &text, const HistoryItem &file, const QString &version, TextEncoding textEncoding)
{
    seams.setText(text);
    SetEncoding(textEncoding);
    modPublic::strCurrentFolder = file.Path;
    modPublic::strCurrentFile = file.File;
    strVersion = version;
    blnModified = true;
    seams.showFileName(file.File.isEmpty() ? QStringLiteral("(No File)") : file.File);
}

void Document::OpenDocument()
{
    if (!ConfirmSave())
        return;
    modPublic::blnFilerOK = false;
    modPublic::strFilerUntitled.reset();
    const HistoryItem before = CurrentFile();
    Locked lock(seams);
    modPublic::lngFilerMode = 0;
    seams.showFiler();
    // The save prompt was answered before the browser opened.
    if (modPublic::strFilerUntitled)
        return ShowUntitledText(*std::exchange(modPublic::strFilerUntitled, std::nullopt));
    if (!modPublic::blnFilerOK)
        return;
    // The browser has made its choice the current file; a file that cannot be read gives the
    // document its own name back.
    if (!LoadRemoteDocument(CurrentFile())) {
        modPublic::strCurrentFolder = before.Path;
        modPublic::strCurrentFile = before.File;
    }
}

bool Document::LoadRemoteDocument(const HistoryItem &file)
{
    std::optional<modPublic::RemoteDocument> document;
    {
        InProgress progress(seams, QStringLiteral("読み込んでいます…"));
        const Previewing preview(seams);
        document = seams.readFile(file.Path, file.File);
    }
    if (!document) {
        platform::ShowError(m_owner, QStringLiteral("ファイルの取得に失敗しました。"));
        return false;
    }
    seams.setText(document->text);
    SetEncoding(document->encoding);
    modPublic::strCurrentFolder = file.Path;
    modPublic::strCurrentFile = file.File;
    strVersion = document->version;
    seams.showFileName(file.File);
    // Setting the text marked the document modified.
    SetUnmodified();
    AddToHistory();
    return true;
}

void Document::SaveDocument()
{
    TrySaveDocument();
}

bool Document::TrySaveDocument()
{
    const QString text = seams.text();
    if (!ChooseSaveEncoding(text, encoding))
        return false;
    Locked lock(seams);
    return SaveOnCondition(text, { strVersion });
}

void Document::SaveDocumentAs()
{
    TrySaveDocumentAs();
}

bool Document::TrySaveDocumentAs()
{
    const QString text = seams.text();
    Locked lock(seams);
    return SaveAsWhileLocked(text);
}

bool Document::SaveAsWhileLocked(const QString &text)
{
    const HistoryItem before = CurrentFile();
    modPublic::lngFilerMode = 1;
    modPublic::blnFilerOK = false;
    modPublic::blnFilerReplaces = false;
    modPublic::encFilerEncoding = encoding;
    seams.showFiler();
    if (!modPublic::blnFilerOK)
        return false;
    // The copy goes out in the encoding chosen in the browser, which the document keeps from
    // now on; a copy not made leaves the document as it was.
    if (!ChooseSaveEncoding(text, modPublic::encFilerEncoding)) {
        modPublic::strCurrentFolder = before.Path;
        modPublic::strCurrentFile = before.File;
        return false;
    }
    // Another name than the document's own must not exist yet, unless the user agreed in the
    // browser to replace the file listed there.
    modPublic::SaveCondition condition { strVersion };
    if (before.Path != modPublic::strCurrentFolder || before.File != modPublic::strCurrentFile) {
        condition = { QString(), !modPublic::blnFilerReplaces };
        strVersion.clear();
    }
    // A failed save keeps the chosen folder and name current, as the browser left them, and the
    // status bar names the file the next save goes to.
    const bool saved = SaveOnCondition(text, condition);
    seams.showFileName(modPublic::strCurrentFile);
    return saved;
}

void Document::AddToHistory()
{
    app::AddToHistory(arrHistory, CurrentFile());
    seams.historyChanged();
}

void Document::OpenRecentFile(int index)
{
    if (index < 0 || index >= HistoryLength(arrHistory))
        return;
    if (!ConfirmSave())
        return;
    // A copy: a successful open moves the entries.
    const HistoryItem entry = arrHistory[index];
    Locked lock(seams);
    LoadRemoteDocument(entry);
}

void Document::OpenShortcut(const QString &path)
{
    // The failure message can hand the activation back to the window, which would ask for the
    // command line's shortcut again while this one is still being opened.
    if (m_blnOpeningShortcut)
        return;
    const std::optional<HistoryItem> target = ReadShortcut(path);
    if (!target)
        return;
    m_blnOpeningShortcut = true;
    {
        Locked lock(seams);
        LoadRemoteDocument(*target);
    }
    m_blnOpeningShortcut = false;
}

void Document::CreateShortcut()
{
    if (modPublic::strCurrentFile.isEmpty()) {
        platform::ShowError(m_owner, QStringLiteral("ファイルを開いていません。"));
        return;
    }
    platform::SaveFileRequest request;
    request.title = QStringLiteral("ローカルショートカットの作成");
    request.proposedName = ShortcutFilePath(modPublic::strCurrentFile); // the name the file will have
    request.filter = QStringLiteral("Lumenoﾛｰｶﾙｼｮｰﾄｶｯﾄ(*.lmk)");
    request.defaultSuffix = QStringLiteral("lmk");
    const std::optional<QString> chosen = platform::dialogs().SaveFileName(m_owner, request);
    if (!chosen)
        return;
    if (!WriteShortcut(ShortcutFilePath(*chosen), CurrentFile()))
        platform::ShowError(m_owner, QStringLiteral("ローカルショートカットの作成に失敗しました。"));
}

void Document::OpenUntitledText(const textencoding::DecodedText &text)
{
    if (ConfirmSave())
        ShowUntitledText(text);
}

void Document::ShowUntitledText(const textencoding::DecodedText &text)
{
    seams.setText(text.text);
    ResetDocument();
    SetEncoding(text.encoding);
}

void Document::CurrentFileRestored()
{
    if (blnModified || modPublic::strCurrentFile.isEmpty())
        return;
    Locked lock(seams);
    LoadRemoteDocument(CurrentFile());
}

void Document::OpenDroppedFiles(const QStringList &files)
{
    if (files.isEmpty())
        return;
    // Refused before it is read, or before the save prompt: a file the server would not take
    // by default could never be saved, and reading gigabytes whole would stall or end the editor.
    if (QFileInfo(files.first()).size() > kLargestDroppedFile) {
        platform::ShowError(m_owner,
            QStringLiteral("ドロップされたファイルは大きすぎるため開けません。\r\n"
                           "開くことができるのは64MBまでのファイルです。"));
        return;
    }
    if (!ConfirmSave())
        return;
    if (files.size() >= 2)
        platform::ShowInformation(
            m_owner, QStringLiteral("複数のファイルがドロップされましたが、先頭のファイルのみを開きます。"));
    const QString &first = files.first();
    if (QFileInfo(first).size() == 0)
        return;
    if (HasShortcutExtension(first)) {
        // The shortcut's file opens bound to its name, as from the command line.
        OpenShortcut(first);
        return;
    }
    const std::optional<textencoding::DecodedText> read = ReadLocalTextFile(first);
    if (!read)
        return;
    ShowUntitledText(*read);
}

} // namespace app
