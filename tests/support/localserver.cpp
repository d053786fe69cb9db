#include "support/localserver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>

namespace testsupport {
namespace {

QString DefaultCgiPath()
{
    // Test programs live in build/bin/tests, the programs in build/bin.
    const QDir dir(QCoreApplication::applicationDirPath());
    for (const QString &candidate :
        { dir.filePath(QStringLiteral("../vidodu.cgi")), dir.filePath(QStringLiteral("vidodu.cgi")) }) {
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).canonicalFilePath();
    }
    return dir.filePath(QStringLiteral("../vidodu.cgi"));
}

QString DefaultScriptPath()
{
    // This file is compiled from SOURCE/tests/support/localserver.cpp, named to the compiler
    // either absolutely or relative to the build folder, which holds the tests in bin/tests.
    QFileInfo source(QStringLiteral(__FILE__));
    if (source.isRelative())
        source.setFile(QCoreApplication::applicationDirPath() + QStringLiteral("/../../") + source.filePath());
    return source.absoluteDir().filePath(QStringLiteral("../../scripts/local-server.sh"));
}

quint16 FreePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

// Ours answers: lighttpd logged its start, so the port is its own, and the port takes calls.
bool Answers(const QString &state, quint16 port)
{
    QFile log(state + QStringLiteral("/error.log"));
    if (!log.open(QIODevice::ReadOnly) || !log.readAll().contains("server started"))
        return false;
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(200);
}

QString HashOf(const QString &cgiPath, const QString &password, QString &error)
{
    QProcess hasher;
    hasher.start(cgiPath, { QStringLiteral("--hash-password") });
    hasher.write(password.toUtf8() + '\n');
    hasher.closeWriteChannel();
    if (!hasher.waitForFinished(30000) || hasher.exitCode() != 0) {
        error
            = QStringLiteral("vidodu.cgi --hash-password failed: ") + QString::fromUtf8(hasher.readAllStandardError());
        return {};
    }
    const QString line = QString::fromUtf8(hasher.readAllStandardOutput()).trimmed();
    return line.section(QLatin1Char('='), 1).trimmed();
}

} // namespace

LocalServer::LocalServer(const QString &cgiPath, const QString &scriptPath)
    : m_cgiPath(cgiPath.isEmpty() ? DefaultCgiPath() : cgiPath)
    , m_scriptPath(scriptPath.isEmpty() ? DefaultScriptPath() : scriptPath)
{
}

LocalServer::~LocalServer()
{
    stop();
}

bool LocalServer::start(const QString &password)
{
    stop();
    m_error.clear();
    if (!QFileInfo(m_cgiPath).isExecutable()) {
        m_error = QStringLiteral("no vidodu.cgi at ") + m_cgiPath + QStringLiteral(" (build the vidodu_cgi target)");
        return false;
    }
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid() || !QDir().mkpath(dataDir())) {
        m_error = QStringLiteral("cannot make a temporary root");
        return false;
    }
    QStringList extra;
    if (password.isEmpty()) {
        extra << QStringLiteral("--allow-empty-password");
    } else {
        const QString hash = HashOf(m_cgiPath, password, m_error);
        if (hash.isEmpty())
            return false;
        extra << QStringLiteral("--password-hash") << hash;
    }
    // A port found free may be taken before lighttpd binds it: then try another.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (launch(extra))
            return true;
    }
    return false;
}

bool LocalServer::launch(const QStringList &extraArguments)
{
    m_port = FreePort();
    const QString state = m_dir->filePath(QStringLiteral("state"));
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(QStringLiteral("bash"),
        QStringList { m_scriptPath, QStringLiteral("run"), QStringLiteral("--state"), state, QStringLiteral("--root"),
            rootDir(), QStringLiteral("--cgi"), m_cgiPath, QStringLiteral("--port"), QString::number(m_port) }
            + extraArguments);
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        // waitForFinished doubles as a short pause that ends early when lighttpd gives up.
        if (m_process->state() == QProcess::NotRunning || m_process->waitForFinished(20))
            break;
        if (Answers(state, m_port))
            return true;
    }
    QFile log(state + QStringLiteral("/error.log"));
    m_error = QStringLiteral("lighttpd did not answer on port %1: ").arg(m_port) + QString::fromUtf8(m_process->readAll())
        + (log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString());
    stop();
    return false;
}

void LocalServer::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    m_process.reset();
}

bool LocalServer::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QString LocalServer::serverText() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString LocalServer::url() const
{
    return QStringLiteral("http://") + serverText() + QStringLiteral("/vidodu.cgi");
}

QString LocalServer::rootDir() const
{
    return m_dir ? m_dir->filePath(QStringLiteral("root")) : QString();
}

QString LocalServer::dataDir() const
{
    return m_dir ? m_dir->filePath(QStringLiteral("root/data")) : QString();
}

} // namespace testsupport
