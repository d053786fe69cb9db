#include "faultyserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <sys/stat.h>
#include <sys/time.h>

namespace faults {
namespace {

// Faults are files in the control folder; the wrapper looks for them at every request.
QByteArray WrapperScript(const QString &control)
{
    const QByteArray dir = control.toUtf8();
    return "#!/bin/sh\n"
           "STALL_DIR='"
        + dir
        + "'; export STALL_DIR\n"
          "if [ -e \"$STALL_DIR/hang\" ]; then\n"
          "  echo $$ > \"$STALL_DIR/pid.part\" && mv \"$STALL_DIR/pid.part\" \"$STALL_DIR/pid\"\n"
          "  exec sleep 300\n"
          "fi\n"
          "if [ -e \"$STALL_DIR/fsize\" ]; then ulimit -f \"$(cat \"$STALL_DIR/fsize\")\"; fi\n"
          "LD_PRELOAD='" LUMENO_STALL_SHIM "'; export LD_PRELOAD\n"
          // A sanitized build's runtime would rather come first; the shim only wraps write().
          "ASAN_OPTIONS=\"verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}\"; export ASAN_OPTIONS\n"
          "exec '" LUMENO_BIN_DIR "/vidodu.cgi'\n";
}

} // namespace

FaultyServer::FaultyServer() = default;

FaultyServer::~FaultyServer()
{
    killStopped();
    if (m_server)
        m_server->stop();
    killStopped();
}

bool FaultyServer::start()
{
    // lighttpd runs what ends in "/vidodu.cgi", so the wrapper takes the script's name.
    const QString wrapper = m_control.filePath(QStringLiteral("wrapper/vidodu.cgi"));
    QFile file(wrapper);
    if (!m_control.isValid() || !QDir().mkpath(QFileInfo(wrapper).path()) || !file.open(QIODevice::WriteOnly)
        || file.write(WrapperScript(m_control.path())) < 0) {
        m_error = QStringLiteral("cannot write the wrapper");
        return false;
    }
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    m_server = std::make_unique<testsupport::LocalServer>(wrapper);
    if (!m_server->start()) {
        m_error = m_server->errorText();
        return false;
    }
    return true;
}

void FaultyServer::setFault(const QString &name, const QByteArray &content)
{
    QFile file(m_control.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

void FaultyServer::clearFaults()
{
    for (const char *name : { "hang", "stall", "fsize" })
        QFile::remove(m_control.filePath(QString::fromLatin1(name)));
}

pid_t FaultyServer::stoppedPid() const
{
    QFile file(m_control.filePath(QStringLiteral("pid")));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return static_cast<pid_t>(file.readAll().trimmed().toLongLong());
}

void FaultyServer::killStopped()
{
    if (const pid_t pid = stoppedPid(); pid > 0)
        ::kill(pid, SIGKILL);
    QFile::remove(m_control.filePath(QStringLiteral("pid")));
}

QStringList SaveLeftovers(const QString &folder)
{
    return QDir(folder).entryList({ QStringLiteral(".vidodu-save-*") }, QDir::Files | QDir::Hidden | QDir::System);
}

bool AgeFile(const QString &path, int seconds)
{
    struct stat st { };
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) != 0)
        return false;
    const struct timeval times[2] = { { st.st_atime - seconds, 0 }, { st.st_mtime - seconds, 0 } };
    return ::utimes(name.constData(), times) == 0;
}

} // namespace faults
