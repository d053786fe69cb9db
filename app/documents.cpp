// The window side of the document: its seams, the busy indicator and the recent-files menu.

#include "frmMain.h"

#include "app/statuspanel.h"
#include "dialogs/filer/frmFiler.h"
#include "protocol/modPublic.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>

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
}

void frmMain::ShowProgress(const QString &note)
{
    if (note.isEmpty()) {
        QApplication::restoreOverrideCursor();
        BusyIndicator()->hide();
        SetPanelText(kFileNamePanel, m_strPanelBeforeProgress);
        return;
    }
    m_strPanelBeforeProgress = PanelText(kFileNamePanel);
    SetPanelText(kFileNamePanel, note);
    BusyIndicator()->show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
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
        statusBar()->addPermanentWidget(m_barBusy);
        m_barBusy->hide();
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
