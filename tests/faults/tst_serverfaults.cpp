// What the user's writing goes through when the server fails under a save: vidodu.cgi killed
// or the web server stopped half-way, a file size limit, a full disk. The save reports
// failure, the file on the server is the old one, whole, and what a broken save left behind
// stays hidden and is cleaned up later.

#include "platform/cp932.h"
#include "protocol/modPublic.h"
#include "support/localserver.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <sys/file.h>
#include <sys/time.h>

using namespace modPublic;

namespace {

const QString kFolder = QStringLiteral("data/手紙");
const QString kFile = QStringLiteral("下書き.txt");

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool ageFile(const QString &path, int seconds)
{
    const QFileInfo info(path);
    const timeval times[2] = {{info.lastRead().toSecsSinceEpoch() - seconds, 0},
                              {info.lastModified().toSecsSinceEpoch() - seconds, 0}};
    return ::utimes(QFile::encodeName(path).constData(), times) == 0;
}

// A document of about `bytes` bytes: Japanese lines ended by CR LF.
QString document(const QString &seed, qsizetype bytes)
{
    QString text;
    for (qsizetype n = 0; cp932::ByteCount(text) < bytes; n += 100) {
        for (qsizetype line = n; line < n + 100; ++line)
            text += seed + QString::number(line) + QStringLiteral(" 吾輩は猫である。名前はまだ無い。\r\n");
    }
    return text;
}

} // namespace

class tst_ServerFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void scriptKilledMidSave();
    void webServerStopsMidSave();
    void fileSizeLimit();
    void diskFull();

private:
    QString folderOnDisk() const { return m_server->dataDir() + QStringLiteral("/手紙"); }
    QString fileOnDisk() const { return folderOnDisk() + u'/' + kFile; }
    QStringList leftovers() const
    {
        return QDir(folderOnDisk()).entryList({QStringLiteral(".vidodu-save-*")}, QDir::Files | QDir::Hidden);
    }
    void setFault(const QString &name, const QByteArray &content = {}) { writeBytes(m_control.filePath(name), content); }
    pid_t stoppedPid() const { return pid_t(fileBytes(m_control.filePath("pid")).trimmed().toLongLong()); }
    QString saveWhileStopped(const QString &text, const std::function<void(pid_t)> &whenStopped);

    // Faults are files in m_control, looked for by a wrapper around the script at every
    // request: "stall" stops the save half-way (stallshim.cpp), "fsize" limits file sizes.
    QTemporaryDir m_control;
    std::unique_ptr<testsupport::LocalServer> m_server;
    QByteArray m_old;
};

void tst_ServerFaults::initTestCase()
{
    const QString wrapper = m_control.filePath(QStringLiteral("wrapper/vidodu.cgi"));   // lighttpd runs *.cgi
    QVERIFY(QDir().mkpath(QFileInfo(wrapper).path()));
    QVERIFY(writeBytes(wrapper, "#!/bin/sh\nSTALL_DIR='" + m_control.path().toUtf8() + "'; export STALL_DIR\n"
                                "if [ -e \"$STALL_DIR/fsize\" ]; then ulimit -f \"$(cat \"$STALL_DIR/fsize\")\"; fi\n"
                                "LD_PRELOAD='" LUMENO_STALL_SHIM "'; export LD_PRELOAD\n"
                                "ASAN_OPTIONS=\"verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}\"; export ASAN_OPTIONS\n"
                                "exec '" LUMENO_BIN_DIR "/vidodu.cgi'\n"));
    QFile(wrapper).setPermissions(QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    m_server = std::make_unique<testsupport::LocalServer>(wrapper, LUMENO_SOURCE_DIR "/scripts/local-server.sh");
    QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
    strServer = m_server->serverText();
    strPassword.clear();
}

void tst_ServerFaults::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    QVERIFY(QDir().mkpath(folderOnDisk()));
    m_old = cp932::Encode(document(QStringLiteral("old "), 4096));
    QVERIFY(writeBytes(fileOnDisk(), m_old));
}

void tst_ServerFaults::cleanup()
{
    if (stoppedPid() > 0)
        ::kill(stoppedPid(), SIGKILL);
    for (const char *name : {"stall", "fsize", "pid"})
        QFile::remove(m_control.filePath(QString::fromLatin1(name)));
    QDir(folderOnDisk()).removeRecursively();
}

// Saves text and, while the save waits for its reply, calls whenStopped with the script's
// process id once it has stopped half-way.
QString tst_ServerFaults::saveWhileStopped(const QString &text, const std::function<void(pid_t)> &whenStopped)
{
    setFault(QStringLiteral("stall"));
    QTimer poll;
    bool reached = false;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (!reached && stoppedPid() > 0) {
            reached = true;
            whenStopped(stoppedPid());
        }
    });
    poll.start(10);
    const QString result = SaveRemoteFile(kFolder, kFile, text);
    QFile::remove(m_control.filePath(QStringLiteral("stall")));
    return reached ? result : QStringLiteral("(the fault was never reached)");
}

// kill -9 while the script writes: the save fails, the old file is whole, the half-written
// temporary file is neither listed nor readable, and a later save removes it once it is ten
// minutes old, but not one a running save still holds.
void tst_ServerFaults::scriptKilledMidSave()
{
    const QString text = document(QStringLiteral("new "), 200000);
    QCOMPARE(saveWhileStopped(text, [](pid_t pid) { ::kill(pid, SIGKILL); }), QStringLiteral("NG"));
    QCOMPARE(fileBytes(fileOnDisk()), m_old);
    const QStringList dead = leftovers();
    QCOMPARE(dead.size(), 1);
    QCOMPARE(QFileInfo(folderOnDisk() + u'/' + dead.first()).size(), cp932::ByteCount(text) / 2);
    QCOMPARE(ListRemoteFiles(kFolder).size(), 1);
    QCOMPARE(ReadRemoteFile(kFolder, dead.first()), QStringLiteral("NG"));

    const QString held = folderOnDisk() + QStringLiteral("/.vidodu-save-stillworking00000");
    QVERIFY(writeBytes(held, "half") && ageFile(held, 3600));
    QFile holder(held);
    QVERIFY(holder.open(QIODevice::ReadOnly) && ::flock(holder.handle(), LOCK_EX | LOCK_NB) == 0);
    QCOMPARE(SaveRemoteFile(kFolder, kFile, QStringLiteral("second\r\n")), QStringLiteral("OK"));
    QCOMPARE(leftovers().size(), 2);   // too young yet
    QVERIFY(ageFile(folderOnDisk() + u'/' + dead.first(), 11 * 60));
    QCOMPARE(SaveRemoteFile(kFolder, kFile, QStringLiteral("third\r\n")), QStringLiteral("OK"));
    QCOMPARE(leftovers(), QStringList{QFileInfo(held).fileName()});
    QCOMPARE(ReadRemoteFile(kFolder, kFile), QStringLiteral("third\r\n"));
}

// The web server stops while the script saves: the lost connection fails the save at once
// (not at the time-out), the old file is whole, and a restarted server saves again.
void tst_ServerFaults::webServerStopsMidSave()
{
    setStallTimeoutForTesting(60 * 60 * 1000);
    const auto restoreTimeout = qScopeGuard([] { setStallTimeoutForTesting(0); });
    QCOMPARE(saveWhileStopped(document(QStringLiteral("new "), 100000), [this](pid_t) { m_server->stop(); }),
             QStringLiteral("NG"));
    QCOMPARE(SaveRemoteFile(kFolder, kFile, QStringLiteral("x")), QStringLiteral("NG"));
    QCOMPARE(fileBytes(fileOnDisk()), m_old);
    QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));   // over a new, empty root
    strServer = m_server->serverText();
    QVERIFY(QDir().mkpath(folderOnDisk()));
    QCOMPARE(SaveRemoteFile(kFolder, kFile, QStringLiteral("again\r\n")), QStringLiteral("OK"));
}

// A host's file size limit below the document: "NG", the old file whole, nothing left behind;
// a document within the limit still saves.
void tst_ServerFaults::fileSizeLimit()
{
    setFault(QStringLiteral("fsize"), "16");   // blocks of 512 bytes
    QCOMPARE(SaveRemoteFile(kFolder, kFile, document(QStringLiteral("big "), 64 * 1024)), QStringLiteral("NG"));
    QCOMPARE(fileBytes(fileOnDisk()), m_old);
    QCOMPARE(leftovers(), QStringList());
    QCOMPARE(SaveRemoteFile(kFolder, kFile, QStringLiteral("small\r\n")), QStringLiteral("OK"));
}

// A full disk (a small tmpfs as the folder): "NG", the old file whole, nothing left behind,
// and a smaller document fits again.
void tst_ServerFaults::diskFull()
{
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", folderOnDisk()}) != 0)
        QSKIP("no tmpfs can be mounted here (needs CAP_SYS_ADMIN); fileSizeLimit stands in");
    const auto unmount = qScopeGuard([this] { QProcess::execute("umount", {"-l", folderOnDisk()}); });
    QVERIFY(writeBytes(fileOnDisk(), m_old));
    QCOMPARE(SaveRemoteFile(kFolder, kFile, document(QStringLiteral("new "), 1024 * 1024)), QStringLiteral("NG"));
    QCOMPARE(fileBytes(fileOnDisk()), m_old);
    QCOMPARE(leftovers(), QStringList());
    QCOMPARE(SaveRemoteFile(kFolder, kFile, QStringLiteral("fits\r\n")), QStringLiteral("OK"));
}

QTEST_GUILESS_MAIN(tst_ServerFaults)
#include "tst_serverfaults.moc"
