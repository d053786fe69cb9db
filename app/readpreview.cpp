#include "readpreview.h"

#include "codec/textencoding.h"

#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextDocument>

namespace app {

ReadPreview::ReadPreview(QPlainTextEdit *box)
    : m_box(box)
    , m_ownCursor(box->textCursor())
    , m_ownScroll(box->verticalScrollBar()->value())
{
}

ReadPreview::~ReadPreview()
{
    if (!m_preview)
        return;
    // Nobody hears of the swaps: the window's document did not change.
    const QSignalBlocker quiet(m_box);
    QTextDocument *own = m_ownCursor.document();
    m_box->setDocument(own);
    own->setParent(m_ownParent);
    m_box->setTextCursor(m_ownCursor);
    m_box->verticalScrollBar()->setValue(m_ownScroll);
}

void ReadPreview::Show(QByteArrayView replySoFar)
{
    m_seenBytes = replySoFar.size();
    const qsizetype start = replySoFar.indexOf('\n') + 1;
    if (start == 0)
        return;
    const QByteArrayView content = replySoFar.sliced(start);
    // Whole lines only: a line feed is never part of a character, in either encoding.
    const qsizetype end = content.lastIndexOf('\n') + 1;
    if (end <= m_shownBytes)
        return;
    const QString text = textencoding::DecodeDocument(content.first(end)).text;
    m_shownBytes = end;
    if (text.size() <= m_shown)
        return;
    const QSignalBlocker quiet(m_box);
    if (!m_preview) {
        QTextDocument *own = m_box->document();
        m_preview = std::make_unique<QTextDocument>();
        m_preview->setDocumentLayout(new QPlainTextDocumentLayout(m_preview.get()));
        m_preview->setUndoRedoEnabled(false);
        m_preview->setDefaultFont(own->defaultFont());
        m_preview->setDefaultTextOption(own->defaultTextOption());
        m_preview->setDocumentMargin(own->documentMargin());
        // The box would delete a document it made when given another.
        m_ownParent = own->parent();
        own->setParent(nullptr);
        m_box->setDocument(m_preview.get());
    }
    QTextCursor cursor(m_preview.get());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text.sliced(m_shown));
    // The first lines are painted now: the end of the transfer may follow at once, and decoding
    // and laying out the whole document keep the event loop from painting until it is shown.
    if (m_shown == 0)
        m_box->viewport()->repaint();
    m_shown = text.size();
}

} // namespace app
