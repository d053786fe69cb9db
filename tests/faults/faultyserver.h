#pragma once

// The real vidodu.cgi under the real lighttpd, started through a small wrapper that lets a
// test switch faults on and off by creating files in controlDir():
//   hang    the request never gets an answer (the script is replaced by a long sleep)
//   stall   the save stops half-way through writing its temporary file (stallshim.cpp)
//   fsize   a file size limit, in 512-byte blocks, for everything the script writes
// In the first two cases the process id appears in controlDir()/pid.

#include "support/localserver.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <sys/types.h>

namespace faults {

class FaultyServer {
public:
    FaultyServer();
    ~FaultyServer();

    bool start(); // empty password from loopback
    QString errorText() const { return m_error; }
    testsupport::LocalServer &server() { return *m_server; }
    QString controlDir() const { return m_control.path(); }

    void setFault(const QString &name, const QByteArray &content = {});
    void clearFaults();
    // The process that stopped at the fault, once it has; 0 before.
    pid_t stoppedPid() const;
    // Kills a stopped process that is still there; its id file goes away.
    void killStopped();

private:
    QTemporaryDir m_control;
    std::unique_ptr<testsupport::LocalServer> m_server;
    QString m_error;
};

// Hidden leftovers of saves in a folder on disk.
QStringList SaveLeftovers(const QString &folder);
// Ages a file by the given number of seconds (its modification time).
bool AgeFile(const QString &path, int seconds);

} // namespace faults
