#include "draftstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace app {

namespace {

constexpr QFileDevice::Permissions kPrivateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kPrivateFolder = kPrivateFile | QFileDevice::ExeOwner;

QString LockPathOf(const QString &draftPath)
{
    return draftPath.chopped(QStringLiteral(".draft").size()) + QStringLiteral(".lock");
}

// The lock file opened and locked without waiting; -1 when another editor holds it.
int LockFile(const QString &path, int extraFlags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | extraFlags, 0600);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

QString DefaultDraftsFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Lumeno/drafts");
}

StaleDraft::StaleDraft(QString path, int lockFd, QByteArray bytes)
    : path(std::move(path))
    , bytes(std::move(bytes))
    , m_lockFd(lockFd)
{
}

StaleDraft::StaleDraft(StaleDraft &&other) noexcept
    : path(std::move(other.path))
    , bytes(std::move(other.bytes))
    , m_lockFd(std::exchange(other.m_lockFd, -1))
{
}

StaleDraft::~StaleDraft()
{
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

void StaleDraft::Delete()
{
    QFile::remove(path);
    QFile::remove(LockPathOf(path));
}

DraftStore::DraftStore(QString folder)
    : m_folder(std::move(folder))
{
}

DraftStore::~DraftStore()
{
    if (m_lockFd < 0)
        return;
    if (!QFile::exists(m_draftPath))
        QFile::remove(LockPathOf(m_draftPath));
    ::close(m_lockFd);
}

bool DraftStore::Open()
{
    if (m_lockFd >= 0)
        return true;
    if (!QDir().mkpath(m_folder) || !QFile::setPermissions(m_folder, kPrivateFolder))
        return false;
    // A name of its own: no other editor's lock file, and no draft an editor left.
    const QString stem = m_folder + QStringLiteral("/%1-%2").arg(QCoreApplication::applicationPid());
    for (int n = 0; n < 1000; ++n) {
        const QString draft = stem.arg(n) + QStringLiteral(".draft");
        if (QFile::exists(draft))
            continue;
        m_lockFd = LockFile(LockPathOf(draft), O_EXCL);
        if (m_lockFd >= 0) {
            m_draftPath = draft;
            return true;
        }
    }
    return false;
}

bool DraftStore::Write(const QByteArray &bytes)
{
    if (!Open())
        return false;
    QSaveFile file(m_draftPath);
    return file.open(QIODevice::WriteOnly) && file.setPermissions(kPrivateFile) && file.write(bytes) == bytes.size()
        && file.commit();
}

bool DraftStore::Remove()
{
    return m_draftPath.isEmpty() || !QFile::exists(m_draftPath) || QFile::remove(m_draftPath);
}

std::vector<StaleDraft> DraftStore::StaleDrafts() const
{
    const QDir folder(m_folder);
    std::vector<StaleDraft> drafts;
    for (const QFileInfo &lock : folder.entryInfoList({ QStringLiteral("*.lock") }, QDir::Files)) {
        const QString draft = lock.path() + u'/' + lock.completeBaseName() + QStringLiteral(".draft");
        if (QFile::exists(draft))
            continue;
        if (const int fd = LockFile(lock.filePath(), 0); fd >= 0) {
            QFile::remove(lock.filePath());
            ::close(fd);
        }
    }
    QFileInfoList found = folder.entryInfoList({ QStringLiteral("*.draft") }, QDir::Files, QDir::Time);
    for (const QFileInfo &info : found) {
        const int fd = LockFile(LockPathOf(info.filePath()), 0);
        if (fd < 0)
            continue;
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly)) {
            ::close(fd);
            continue;
        }
        drafts.emplace_back(info.filePath(), fd, file.readAll());
    }
    return drafts;
}

} // namespace app
