#pragma once

// The drafts folder ($XDG_STATE_HOME/Lumeno/drafts, private to the user) and this editor's one
// draft in it. Each running editor holds a lock (flock) on a lock file beside its draft for its
// lifetime, so a draft whose lock is free belongs to an editor that is gone: a crash, a kill or
// a power cut. Writes replace the draft atomically and reach the disk before they count.

#include <QByteArray>
#include <QString>
#include <vector>

namespace app {

// $XDG_STATE_HOME/Lumeno/drafts, by default ~/.local/state/Lumeno/drafts.
QString DefaultDraftsFolder();

// A draft left by an editor that is gone, locked by this one while it decides what to do.
class StaleDraft {
public:
    StaleDraft(QString path, int lockFd, QByteArray bytes);
    StaleDraft(StaleDraft &&other) noexcept;
    StaleDraft &operator=(StaleDraft &&) = delete;
    ~StaleDraft(); // the lock is free again
    QString path;
    QByteArray bytes;
    // Removes the draft and its lock file.
    void Delete();

private:
    int m_lockFd;
};

class DraftStore {
public:
    explicit DraftStore(QString folder);
    ~DraftStore(); // the lock goes; the draft stays, when there is one
    DraftStore(const DraftStore &) = delete;
    DraftStore &operator=(const DraftStore &) = delete;

    // Replaces this editor's draft; false when it could not be written. The first write makes
    // the folder and takes the lock. One thread at a time.
    bool Write(const QByteArray &bytes);
    // This editor's draft is gone; false when it stays.
    bool Remove();
    QString DraftPath() const { return m_draftPath; }
    // The drafts of editors that are gone, newest first, each locked by this store's caller
    // until it is dropped. Lock files left without a draft are cleared away.
    std::vector<StaleDraft> StaleDrafts() const;

private:
    bool Open();
    QString m_folder;
    QString m_draftPath; // empty until the lock is held
    int m_lockFd = -1;
};

} // namespace app
