#include "support/localserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace testsupport {

QByteArray RunProgram(
    const QString &program, const QStringList &arguments, const QByteArray &input, const QStringList &env, int *status)
{
    QProcess p;
    QProcessEnvironment environment;
    for (const QString &pair : env)
        environment.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    p.setProcessEnvironment(env.isEmpty() ? QProcessEnvironment::systemEnvironment() : environment);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    p.write(input);
    p.closeWriteChannel();
    const bool done = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit;
    if (status)
        *status = done ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

// Test programs live in build/bin/tests, the programs in build/bin. This file is compiled from
// SOURCE/tests/support/localserver.cpp, named to the compiler either absolutely or relative to
// the build folder.
bool LocalServer::start(const QString &password, Gateway gateway)
{
    stop();
    m_dir = std::make_unique<QTemporaryDir>();
    QStringList arguments { m_scriptPath, "start", "--state", m_dir->filePath("state"), "--root", rootDir(), "--cgi",
        cgiPath(), "--log-requests", "--allow-empty-password" };
    if (gateway == Gateway::FastCgi || qgetenv("LUMENO_SERVER_GATEWAY") == "fastcgi")
        arguments.insert(2, "--fastcgi"); // after "start"
    QByteArray out;
    int status = 0;
    if (!password.isEmpty()) {
        out = RunProgram(cgiPath(), { "--hash-password" }, password.toUtf8() + '\n', {}, &status);
        arguments.last() = "--password-hash";
        arguments << QString::fromUtf8(out).section(u'=', 1).trimmed();
    }
    arguments << m_tls;
    if (status == 0 && QDir().mkpath(dataDir()))
        out = RunProgram("bash", arguments, {}, {}, &status);
    m_port = status == 0 ? QRegularExpression("PORT=(\\d+)").match(QString::fromUtf8(out)).captured(1).toInt() : 0;
    m_error = m_port ? QString() : arguments.join(u' ') + " failed: " + QString::fromUtf8(out);
    return m_port != 0;
}

int LocalServer::scriptRequests() const
{
    QFile log(m_dir ? m_dir->filePath(QStringLiteral("state/error.log")) : QString());
    // The head's first line over HTTP/1.1 ("POST /vidodu.cgi HTTP/1.1"), its path over HTTP/2.
    return log.open(QIODevice::ReadOnly) ? int(log.readAll().count(" /vidodu.cgi")) : -1;
}

void LocalServer::stop()
{
    if (m_port)
        RunProgram("bash", { m_scriptPath, "stop", "--state", m_dir->filePath("state") });
    m_port = 0;
}

} // namespace testsupport
