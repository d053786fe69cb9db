#pragma once

// While a document is read from the server, the editing box shows the beginning of what has
// arrived, in a document of its own: the box's document stays as it was until the reading is
// over, so a reading that fails leaves it untouched (text, undo history, cursor), and one that
// succeeds replaces its text as any other does. The window is disabled until the end, so only
// the first screens matter: the preview stops growing at kPreviewBytes of the reply.

#include <QByteArrayView>
#include <QTextCursor>
#include <memory>

class QPlainTextEdit;
class QObject;
class QTextDocument;

namespace app {

inline constexpr qsizetype kPreviewBytes = 128 * 1024;

class ReadPreview {
public:
    explicit ReadPreview(QPlainTextEdit *box);
    // The box shows its own document again, where it was.
    ~ReadPreview();
    ReadPreview(const ReadPreview &) = delete;
    ReadPreview &operator=(const ReadPreview &) = delete;

    // The reply so far (its first line the path, then the content, in the document's own
    // encoding): the whole lines of the content not shown yet are appended.
    void Show(QByteArrayView replySoFar);
    // Until kPreviewBytes of the reply were seen, more of it may still show.
    bool WantsMore() const { return m_seenBytes < kPreviewBytes; }

private:
    QPlainTextEdit *m_box;
    QTextCursor m_ownCursor;
    int m_ownScroll;
    QObject *m_ownParent = nullptr;
    std::unique_ptr<QTextDocument> m_preview;
    qsizetype m_shown = 0; // characters
    qsizetype m_shownBytes = 0; // of the content
    qsizetype m_seenBytes = 0; // of the reply
};

} // namespace app
