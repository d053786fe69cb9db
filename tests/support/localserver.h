#pragma once

// The real vidodu.cgi under a real lighttpd on 127.0.0.1 and a free port, over a fresh
// temporary root, for integration tests: scripts/local-server.sh started and stopped by the
// test itself.
//
//     testsupport::LocalServer server;
//     QVERIFY2(server.start(), qPrintable(server.errorText()));
//     modPublic::strServer = server.serverText();   // "127.0.0.1:PORT"
//     ... files appear under server.dataDir() ...

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>

namespace testsupport {

class LocalServer {
public:
    // Empty paths: the vidodu.cgi of this build (build/bin) and scripts/local-server.sh of
    // this source tree.
    explicit LocalServer(const QString &cgiPath = {}, const QString &scriptPath = {});
    ~LocalServer();
    LocalServer(const LocalServer &) = delete;
    LocalServer &operator=(const LocalServer &) = delete;

    // Starts over a new empty root (data/ already made). An empty password is accepted as
    // the right one; any other password is hashed into the configuration.
    bool start(const QString &password = {});
    // Stops lighttpd; the root stays readable until the next start or the destructor.
    void stop();
    bool isRunning() const;

    QString serverText() const; // "127.0.0.1:PORT", the text between http:// and /vidodu.cgi
    QString url() const; // http://127.0.0.1:PORT/vidodu.cgi
    QString rootDir() const; // the configured root; holds data/
    QString dataDir() const; // rootDir() + "/data"
    QString cgiPath() const { return m_cgiPath; }
    QString errorText() const { return m_error; }

private:
    QString stateDir() const; // scripts/local-server.sh's configurations, logs and pid
    QString m_cgiPath;
    QString m_scriptPath;
    QString m_error;
    quint16 m_port = 0;
    bool m_running = false;
    std::unique_ptr<QTemporaryDir> m_dir;
};

} // namespace testsupport
