#pragma once

// The real vidodu.cgi under a real lighttpd on 127.0.0.1 and a free port, over a fresh
// temporary root, for integration tests: scripts/local-server.sh started and stopped by the
// test itself.
//
//     testsupport::LocalServer server;
//     QVERIFY2(server.start(), qPrintable(server.errorText()));
//     modPublic::strServer = server.serverText();   // "127.0.0.1:PORT"
//     ... files appear under server.dataDir() ...

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace testsupport {

// Runs a program to its end with `input` on standard input: its standard output and error,
// mixed; its exit status (-1: it crashed or hung) goes into `status`. `env`, when given, is
// the whole environment ("NAME=value" each).
QByteArray RunProgram(const QString &program, const QStringList &arguments, const QByteArray &input = {},
    const QStringList &env = {}, int *status = nullptr);

class LocalServer {
public:
    ~LocalServer() { stop(); }

    // How lighttpd runs the script: a CGI program per request, or one FastCGI process for all.
    // Always FastCGI when LUMENO_SERVER_GATEWAY is "fastcgi" (a test's second CTest entry).
    enum class Gateway { Cgi, FastCgi };

    // Starts over a new empty root (data/ already made). An empty password is accepted as
    // the right one; any other password is hashed into the configuration.
    bool start(const QString &password = {}, Gateway gateway = Gateway::Cgi);
    // Before start: serve https with this certificate and key (PEM files).
    void useTls(const QString &certificate, const QString &key)
    {
        m_tls = { "--tls-cert", certificate, "--tls-key", key };
    }

    QString serverText() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QString url() const { return (m_tls.isEmpty() ? "http://" : "https://") + serverText() + "/vidodu.cgi"; }
    // How many requests for the script reached the web server since it started.
    int scriptRequests() const;
    QString rootDir() const { return m_dir ? m_dir->filePath(QStringLiteral("root")) : QString(); }
    QString dataDir() const { return rootDir() + QStringLiteral("/data"); }
    QString cgiPath() const { return QStringLiteral(LUMENO_BIN_DIR "/vidodu.cgi"); }
    QString errorText() const { return m_error; }
    // The vidodu.conf the script reads, beside lighttpd's lighttpd.pid.
    QString configPath() const { return m_dir ? m_dir->filePath(QStringLiteral("state/vidodu.conf")) : QString(); }

private:
    void stop();
    const QString m_scriptPath = QStringLiteral(LUMENO_SOURCE_DIR "/scripts/local-server.sh");
    QString m_error;
    QStringList m_tls;
    int m_port = 0;
    std::unique_ptr<QTemporaryDir> m_dir;
};

} // namespace testsupport
