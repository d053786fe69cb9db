#include "support/localserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

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

// Runs a program to its end; its standard output and error, or nothing when it failed.
std::optional<QString> Run(
    const QString &program, const QStringList &arguments, const QByteArray &input, QString &error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    const bool done = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    const QString output = QString::fromUtf8(process.readAll());
    if (done && process.exitCode() == 0)
        return output;
    error = program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')) + QStringLiteral(" failed: ") + output;
    return std::nullopt;
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

// scripts/local-server.sh does the work: it writes the configurations, picks a free port,
// starts lighttpd and waits until it answers.
bool LocalServer::start(const QString &password)
{
    stop();
    m_error.clear();
    if (!QFileInfo(m_cgiPath).isExecutable()) {
        m_error = QStringLiteral("no vidodu.cgi at ") + m_cgiPath + QStringLiteral(" (build the vidodu_cgi target)");
        return false;
    }
    m_dir = std::make_unique<QTemporaryDir>();
    QStringList arguments { m_scriptPath, QStringLiteral("start"), QStringLiteral("--state"), stateDir(),
        QStringLiteral("--root"), rootDir(), QStringLiteral("--cgi"), m_cgiPath };
    if (password.isEmpty()) {
        arguments << QStringLiteral("--allow-empty-password");
    } else {
        const auto line = Run(m_cgiPath, { QStringLiteral("--hash-password") }, password.toUtf8() + '\n', m_error);
        if (!line)
            return false;
        arguments << QStringLiteral("--password-hash") << line->section(QLatin1Char('='), 1).trimmed();
    }
    const auto started = m_dir->isValid() && QDir().mkpath(dataDir())
        ? Run(QStringLiteral("bash"), arguments, {}, m_error)
        : std::nullopt;
    const auto port
        = started ? QRegularExpression(QStringLiteral("PORT=(\\d+)")).match(*started) : QRegularExpressionMatch();
    m_port = port.hasMatch() ? port.captured(1).toUShort() : 0;
    m_running = m_port != 0;
    if (started && !m_running)
        m_error = QStringLiteral("local-server.sh named no port: ") + *started;
    return m_running;
}

void LocalServer::stop()
{
    if (!m_running)
        return;
    QString ignored;
    Run(QStringLiteral("bash"), { m_scriptPath, QStringLiteral("stop"), QStringLiteral("--state"), stateDir() }, {},
        ignored);
    m_running = false;
}

bool LocalServer::isRunning() const
{
    return m_running;
}

QString LocalServer::serverText() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString LocalServer::url() const
{
    return QStringLiteral("http://") + serverText() + QStringLiteral("/vidodu.cgi");
}

QString LocalServer::stateDir() const
{
    return m_dir ? m_dir->filePath(QStringLiteral("state")) : QString();
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
