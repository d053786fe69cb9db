#pragma once

// The document's life cycle: the one remote file the editor holds, the save prompt, opening and
// saving through the file browser and the server, the recent-files list, local shortcut files
// and dropped files. A plain object: it reaches its window, the file browser and the server only
// through the seams it is handed, and asks the user through platform::dialogs(). The current
// folder and file are modPublic's, which the file browser sets.

#include "app/history.h"
#include "codec/textencoding.h"
#include "protocol/modPublic.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace app {

struct DocumentSeams {
    // The editing box: the text with its own line breaks; setting it is a change of the text.
    std::function<QString()> text;
    std::function<void(const QString &)> setText;
    // The status bar's file-name panel.
    std::function<void(const QString &)> showFileName;
    // The recent-files menu, after arrHistory changed.
    std::function<void()> historyChanged;
    // The browser and the requests process window events: the window stays disabled meanwhile.
    std::function<void(bool locked)> lockWindow;
    // While a request runs: the note in the file-name panel, the busy indicator, the wait
    // cursor. An empty note ends all that and gives the panel its text back.
    std::function<void(const QString &note)> showProgress;
    // Around readFile: true lets the box show the beginning of the document as it arrives, in
    // a document of its own; false gives the box its own document back, untouched.
    std::function<void(bool reading)> previewReading;
    // The file browser, modal, in modPublic::lngFilerMode; it answers through modPublic's
    // blnFilerOK, strCurrentFolder and strCurrentFile.
    std::function<void()> showFiler;
    // The server: the file's text, version and encoding, nothing when it could not be read; a
    // save of the document's bytes on a condition, and how it went.
    std::function<std::optional<modPublic::RemoteDocument>(const QString &folder, const QString &file)> readFile;
    std::function<modPublic::SaveOutcome(
        const QString &folder, const QString &file, const QByteArray &bytes, const modPublic::SaveCondition &condition)>
        saveFile;
    // The status bar, after the document's encoding changed (optional).
    std::function<void(textencoding::TextEncoding)> showEncoding;
    // The text reached the server or was given up: its draft on the local disk goes.
    std::function<void()> dropDraft;
};

// What the server takes by default in one request.
inline constexpr qint64 kLargestDroppedFile = 64ll * 1024 * 1024;

class Document {
public:
    // owner: the window the prompts belong to.
    explicit Document(QWidget *owner, DocumentSeams seams = {});

    DocumentSeams seams;
    bool blnModified = false;
    History arrHistory;
    // The version of the current file as last read or saved; empty when unknown. A save sends
    // it, so that a file changed on the server meanwhile is never replaced unasked.
    QString strVersion;
    // What the document's bytes are in: as it was read, as it was saved; code page 932 when new.
    textencoding::TextEncoding encoding = textencoding::TextEncoding::ShiftJis;
    void SetEncoding(textencoding::TextEncoding newEncoding);

    // False when the user cancels the save prompt, or answers Yes and the text is not saved.
    bool ConfirmSave();
    void NewDocument();
    void OpenDocument();
    void SaveDocument();
    void SaveDocumentAs();
    // SaveDocument when a file is open, SaveDocumentAs otherwise.
    void SaveCurrentDocument();
    // The saves above, answering whether the text reached the server.
    bool TrySaveDocument();
    bool TrySaveDocumentAs();
    bool TrySaveCurrentDocument();
    // Untitled and unmodified; the text stays.
    void ResetDocument();
    // Text kept from an earlier run, modified, bound to its file and version again (untitled
    // when the file is empty), so that the next save goes where it belongs and meets the check
    // for a file changed on the server meanwhile.
    void RestoreDraft(const QString &text, const HistoryItem &file, const QString &version,
        textencoding::TextEncoding textEncoding = textencoding::TextEncoding::ShiftJis);
    // The current file becomes the most recent entry.
    void AddToHistory();
    // The recent-files entry at this index, after the save prompt.
    void OpenRecentFile(int index);
    // Reads the remote file into the box and binds the document to it; false, after the
    // failure message, when it cannot be read: the document then stays as it was.
    bool LoadRemoteDocument(const HistoryItem &file);
    // The remote file a local shortcut (.lmk) names, bound to its name.
    void OpenShortcut(const QString &path);
    // Writes a local shortcut to the current file where the user chooses.
    void CreateShortcut();
    // An earlier version from the server's history, as a new untitled document (unmodified:
    // the server still holds it), after the save prompt.
    void OpenUntitledText(const textencoding::DecodedText &text);
    // The current file was given one of its earlier versions on the server: the box shows it,
    // unless it holds edits, whose save then meets the check for a file changed meanwhile.
    void CurrentFileRestored();
    // Files dropped on the box: the first one opens, after the save prompt; one larger than
    // kLargestDroppedFile is refused with a message.
    void OpenDroppedFiles(const QStringList &files);

private:
    modPublic::SaveResult SaveToServer(const QString &text, const modPublic::SaveCondition &condition);
    bool SaveOnCondition(const QString &text, const modPublic::SaveCondition &condition);
    bool SaveAsWhileLocked(const QString &text);
    bool ChooseSaveEncoding(const QString &text, textencoding::TextEncoding wanted);
    void SetUnmodified();
    void ShowUntitledText(const textencoding::DecodedText &text);
    QWidget *m_owner;
    bool m_blnOpeningShortcut = false;
};

} // namespace app
