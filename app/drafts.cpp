// The window side of drafts: the modified document's draft written on its schedule without
// holding up typing, removed when the document is no longer modified, offered back at start-up,
// and written at once when the program is ended from outside.

#include "frmMain.h"

#include "app/draft.h"
#include "app/draftstore.h"
#include "platform/dialogs.h"
#include "protocol/modPublic.h"

#include <QCoreApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QThreadPool>
#include <QTimer>
#include <chrono>

namespace {

qint64 SteadyMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

void frmMain::ConnectDrafts()
{
    DraftClock = SteadyMilliseconds;
    m_drafts = std::make_unique<app::DraftStore>(app::DefaultDraftsFolder());
    m_draftWriter = std::make_unique<QThreadPool>();
    m_draftWriter->setMaxThreadCount(1); // in the order handed over
    tmrDraft = new QTimer(this);
    tmrDraft->setSingleShot(true);
    connect(tmrDraft, &QTimer::timeout, this, &frmMain::tmrDraft_Timer);
}

QString frmMain::DraftPath() const
{
    return m_drafts->DraftPath();
}

void frmMain::DraftChanged()
{
    m_draftChanged = QDateTime::currentDateTimeUtc(); // at every keystroke: no time zone lookup
    const qint64 now = DraftClock();
    m_draftSchedule.Changed(now);
    tmrDraft->start(static_cast<int>(std::max<qint64>(0, m_draftSchedule.DueAt() - now)));
}

void frmMain::tmrDraft_Timer()
{
    if (!document.blnModified) {
        m_draftSchedule.Clear();
        return;
    }
    const qint64 now = DraftClock();
    if (m_draftSchedule.Due(now))
        WriteDraft();
    else if (m_draftSchedule.Pending())
        tmrDraft->start(static_cast<int>(m_draftSchedule.DueAt() - now));
}

app::Draft frmMain::DraftOfDocument() const
{
    return { modPublic::strServer, modPublic::strCurrentFolder, modPublic::strCurrentFile, document.strVersion,
        m_lineBreaks, m_draftChanged, {}, document.encoding };
}

// Taking the box's raw text is one copy of its blocks; the line breaks, the encoding and the
// disk are the writer thread's, so a large document does not hold up typing.
void frmMain::WriteDraft()
{
    m_draftSchedule.Clear();
    tmrDraft->stop();
    const quint64 generation = ++m_draftGeneration;
    m_draftWriter->start(
        [this, generation, draft = DraftOfDocument(), raw = txtMain->document()->toRawText()]() mutable {
            if (generation != m_draftGeneration)
                return; // a newer draft, or its removal, is on its way
            draft.text = app::TextWithLineBreaks(raw, draft.lineBreaks);
            raw.clear();
            const bool written = m_drafts->Write(app::EncodeDraft(draft));
            QMetaObject::invokeMethod(
                this, [this, written] { DraftWritten(written); }, Qt::QueuedConnection);
        });
}

void frmMain::DropDraft()
{
    // The draft written as the program ends stays, whatever the questions still open answer.
    if (m_blnEndedFromOutside)
        return;
    m_draftSchedule.Clear();
    tmrDraft->stop();
    ++m_draftGeneration;
    m_draftWriter->start([this] { m_drafts->Remove(); });
}

void frmMain::FlushDrafts()
{
    m_draftWriter->waitForDone();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

// Editing goes on without a draft; the user hears of it once a run, not at every attempt.
void frmMain::DraftWritten(bool written)
{
    if (written || m_blnDraftFailureShown)
        return;
    m_blnDraftFailureShown = true;
    statusBar()->showMessage(QStringLiteral("下書きを保存できません。"), 15000);
    platform::ShowError(this,
        QStringLiteral("下書きを保存できませんでした。\r\n%1\r\n"
                       "編集はこのまま続けられますが、異常終了したときには保存していない内容が失われます。")
            .arg(QDir::toNativeSeparators(app::DefaultDraftsFolder())));
}

void frmMain::EndFromOutside()
{
    if (m_blnEndedFromOutside)
        return;
    m_draftWriter->waitForDone();
    if (document.blnModified) {
        m_draftChanged = m_draftChanged.isValid() ? m_draftChanged : QDateTime::currentDateTimeUtc();
        app::Draft draft = DraftOfDocument();
        draft.text = DocumentText();
        m_drafts->Write(app::EncodeDraft(draft));
    }
    m_blnEndedFromOutside = true;
    WriteExitSettings();
}

void frmMain::OfferDrafts()
{
    m_blnOfferingDrafts = true;
    for (app::StaleDraft &stale : m_drafts->StaleDrafts()) {
        if (m_blnEndedFromOutside)
            break; // the boxes still to come would answer at once, as if closed
        const std::optional<app::Draft> draft = app::DecodeDraft(stale.bytes);
        if (!draft)
            continue; // not ours to judge: it stays for a person to read
        const platform::MessageRequest offer { app::RestoreQuestion(*draft, modPublic::strServer),
            platform::MsgIcon::Question, platform::MsgButtons::YesNo, platform::MsgAnswer::Yes, {}, {} };
        if (platform::dialogs().MsgBox(this, offer) == platform::MsgAnswer::Yes) {
            if (RestoreDraft(*draft))
                stale.Delete();
            break; // one a window: the others stay for the next start
        }
        const platform::MessageRequest drop { QStringLiteral("この文書の下書きを削除しますか？\r\n"
                                                             "残しておくと、次回の起動時にもう一度たずねます。"),
            platform::MsgIcon::Question, platform::MsgButtons::YesNo, platform::MsgAnswer::No,
            QStringLiteral("削除(&D)"), QStringLiteral("残す(&K)") };
        if (platform::dialogs().MsgBox(this, drop) == platform::MsgAnswer::Yes)
            stale.Delete();
    }
    m_blnOfferingDrafts = false;
}

// The text comes back bound to its file only on the server it came from: saved to another
// server, it could replace a file of the same name there. Its draft is this editor's at once.
bool frmMain::RestoreDraft(const app::Draft &draft)
{
    m_draftWriter->waitForDone(); // the store is this thread's alone below
    const bool bound = app::BelongsToServer(draft, modPublic::strServer);
    document.RestoreDraft(draft.text, bound ? app::HistoryItem { draft.folder, draft.file } : app::HistoryItem {},
        bound ? draft.version : QString(), draft.encoding);
    m_lineBreaks = draft.lineBreaks;
    m_draftChanged = draft.changed;
    m_draftSchedule.Clear();
    tmrDraft->stop();
    app::Draft own = DraftOfDocument();
    own.text = draft.text;
    const bool written = m_drafts->Write(app::EncodeDraft(own));
    DraftWritten(written);
    return written;
}
