// The window side of the document: its seams, the busy indicator and the recent-files menu.

#include "frmMain.h"

#include "app/readpreview.h"
#include "app/statuspanel.h"
#include "app/transferprogress.h"
#include "dialogs/filer/frmFiler.h"
#include "protocol/inetConn.h"
#include "protocol/modPublic.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <climits>

namespace {

const QString kFileNamePanel = QStringLiteral("filename");

} // namespace

void frmMain::ConnectDocument()
{
    document.seams = {
        .text = [this] { return DocumentText(); },
        .setText = [this](const QString &text) { SetDocumentText(text); },
        .showFileName = [this](const QString &name) { SetPanelText(kFileNamePanel, name); },
        .historyChanged = [this] { RefreshHistoryMenu(); },
        .lockWindow =
            [this](bool locked) {
                if (locked)
                    m_locks.push_back(std::make_unique<app::WindowLock>(*this));
                else
                    m_locks.pop_back();
            },
        .showProgress = [this](const QString &note) { ShowProgress(note); },
        .previewReading
        = [this](bool reading) { m_readPreview = reading ? std::make_unique<app::ReadPreview>(txtMain) : nullptr; },
        .showFiler = [this] { ShowFiler(); },
        .readFile = modPublic::ReadRemoteDocument,
        .saveFile = modPublic::SaveRemoteDocument,
        .showEncoding =
            [this](textencoding::TextEncoding encoding) {
                SetPanelText(QStringLiteral("encoding"), textencoding::EncodingName(encoding));
                m_panCount->setText(app::CountPanelText(Counts()));
            },
        .dropDraft = [this] { DropDraft(); },
    };
    connect(inetConn, &::inetConn::TransferProgress, this, &frmMain::ShowTransferProgress);
    connect(inetConn, &::inetConn::BodyReceived, this, &frmMain::ShowReadPreview);
    tmrBusy = new QTimer(this);
    tmrBusy->setSingleShot(true);
    tmrBusy->setInterval(app::kBusyIndicatorDelayMs);
    connect(tmrBusy, &QTimer::timeout, this, [this] {
        if (!BusyIndicator()->isHidden())
            return;
        BusyIndicator()->show();
        QApplication::setOverrideCursor(Qt::WaitCursor);
    });
}

void frmMain::ShowProgress(const QString &note)
{
    if (note.isEmpty()) {
        tmrBusy->stop();
        m_strProgressNote.clear();
        // The indicator is made the first time it shows: a quick request never needs it.
        if (m_barBusy) {
            if (!m_barBusy->isHidden())
                QApplication::restoreOverrideCursor();
            m_barBusy->hide();
            m_barBusy->setRange(0, 0);
        }
        SetPanelText(kFileNamePanel, m_strPanelBeforeProgress);
        return;
    }
    m_strPanelBeforeProgress = PanelText(kFileNamePanel);
    m_strProgressNote = note;
    SetPanelText(kFileNamePanel, note);
    tmrBusy->start();
}

// The note gains how far the transfer is; the indicator measures it once the size is known.
void frmMain::ShowTransferProgress(qint64 done, qint64 total)
{
    if (m_strProgressNote.isEmpty())
        return; // a request no operation of the document waits for yet
    SetPanelText(kFileNamePanel, m_strProgressNote + u' ' + app::TransferProgressText(done, total));
    if (total <= 0 || !m_barBusy)
        return;
    // The bar's range is an int: kilobytes.
    m_barBusy->setRange(0, int(std::min<qint64>(total / 1024 + 1, INT_MAX)));
    m_barBusy->setValue(int(std::min<qint64>(done / 1024, INT_MAX)));
}

// Every piece of a document being read goes into the preview, until it is full; a reply that is
// already whole becomes the document at once instead.
void frmMain::ShowReadPreview(qint64 done, qint64 total)
{
    if (m_readPreview && m_readPreview->WantsMore() && done != total) {
        const QByteArrayView reply = inetConn->ReceivedBytes();
        m_readPreview->Show(reply.first(std::min(reply.size(), app::kPreviewBytes)));
    }
}

void frmMain::ShowFiler()
{
    frmFiler filer(this);
    filer.exec();
}

QProgressBar *frmMain::BusyIndicator()
{
    if (!m_barBusy) {
        m_barBusy = new QProgressBar(statusBar());
        m_barBusy->setObjectName(QStringLiteral("barBusy"));
        m_barBusy->setRange(0, 0); // no measure of progress: it keeps moving while the request runs
        m_barBusy->setTextVisible(false);
        m_barBusy->setMaximumWidth(120);
        m_barBusy->hide(); // before it is added, which would show it
        statusBar()->addPermanentWidget(m_barBusy);
    }
    return m_barBusy;
}

void frmMain::menuRecentFiles_Click(int index)
{
    document.OpenRecentFile(index);
}

void frmMain::RefreshHistoryMenu()
{
    // Items go later, not at once: the one clicked may be the one that asked for the refresh.
    while (menuRecentFiles.size() > 1) {
        QAction *item = menuRecentFiles.takeLast();
        mhdRecent->removeAction(item);
        item->deleteLater();
    }
    const QStringList captions = app::HistoryCaptions(document.arrHistory);
    QAction *first = menuRecentFiles.first();
    if (captions.isEmpty()) {
        first->setText(QStringLiteral("(なし)"));
        first->setEnabled(false);
        return;
    }
    first->setText(captions.first());
    first->setEnabled(true);
    for (int i = 1; i < captions.size(); ++i) {
        QAction *entry = mhdRecent->addAction(captions[i]);
        entry->setObjectName(QStringLiteral("menuRecentFiles"));
        entry->setProperty("index", i);
        connect(entry, &QAction::triggered, this, [this, i] { menuRecentFiles_Click(i); });
        menuRecentFiles.append(entry);
    }
}
