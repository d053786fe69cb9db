// What the user's writing goes through when the server fails: vidodu.cgi killed or the web
// server stopped half-way through a save, a script that never answers, a full disk. In every
// case the editor's operation reports failure, the file on the server is the old one, whole,
// and whatever a broken save left behind stays hidden and is cleaned up later.

#include "faultyserver.h"
#include "platform/cp932.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <functional>
#include <sys/file.h>

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

// A document of about `bytes` bytes: Japanese lines ended by CR LF.
QString document(const QString &seed, qsizetype bytes)
{
    QString text;
    for (qsizetype n = 0, size = 0; size < bytes; ++n) {
        const QString line = seed + QString::number(n) + QStringLiteral(" 吾輩は猫である。名前はまだ無い。\r\n");
        size += cp932::ByteCount(line);
        text += line;
    }
    return text;
}

// Runs `operation` and, while it waits for its reply, calls `whenStopped` with the id of the
// script process as soon as it has stopped at the fault.
QString whileStopped(faults::FaultyServer &server, const std::function<QString()> &operation,
    const std::function<void(pid_t)> &whenStopped)
{
    QTimer poll;
    bool done = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (const pid_t pid = server.stoppedPid(); pid > 0 && !done) {
            done = true;
            whenStopped(pid);
        }
    });
    poll.start(10);
    const QString result = operation();
    poll.stop();
    return done ? result : QStringLiteral("(the fault was never reached)");
}

} // namespace

class tst_ServerFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void scriptKilledMidSave();
    void leftoversOfDeadSavesCleanedUp();
    void webServerStopsMidSave();
    void scriptNeverAnswers_data();
    void scriptNeverAnswers();
    void fileSizeLimit();
    void diskFull();

private:
    QString folderOnDisk() { return m_server.server().dataDir() + QStringLiteral("/手紙"); }
    QString fileOnDisk() { return folderOnDisk() + QLatin1Char('/') + kFile; }
    void putOldFile(const QByteArray &bytes);

    faults::FaultyServer m_server;
    QByteArray m_old;
};

void tst_ServerFaults::initTestCase()
{
    testsupport::usePrivateRuntimeDir();
    QVERIFY2(m_server.start(), qPrintable(m_server.errorText()));
    strServer = m_server.server().serverText();
    strPassword.clear();
}

void tst_ServerFaults::init()
{
    QDir(folderOnDisk()).removeRecursively();
    QVERIFY(QDir().mkpath(folderOnDisk()));
    putOldFile(cp932::Encode(document(QStringLiteral("old "), 4096)));
}

void tst_ServerFaults::cleanup()
{
    m_server.killStopped();
    m_server.clearFaults();
    setStallTimeoutForTesting(0);
}

void tst_ServerFaults::putOldFile(const QByteArray &bytes)
{
    m_old = bytes;
    QVERIFY(writeBytes(fileOnDisk(), m_old));
}

// kill -9 of the script while it writes: the save fails, the old file is whole, and the
// half-written temporary file is neither listed nor readable.
void tst_ServerFaults::scriptKilledMidSave()
{
    const QString text = document(QStringLiteral("new "), 200000);
    m_server.setFault(QStringLiteral("stall"));
    const QString result = whileStopped(
        m_server, [&] { return SaveRemoteFile(kFolder, kFile, text); }, [](pid_t pid) { ::kill(pid, SIGKILL); });
    QCOMPARE(result, QStringLiteral("NG"));
    QCOMPARE(fileBytes(fileOnDisk()), m_old);

    const QStringList leftovers = faults::SaveLeftovers(folderOnDisk());
    QCOMPARE(leftovers.size(), 1); // the kill really came half-way
    QCOMPARE(QFileInfo(folderOnDisk() + QLatin1Char('/') + leftovers.first()).size(), cp932::ByteCount(text) / 2);

    m_server.clearFaults();
    const QStringList listing = ListRemoteFiles(kFolder);
    QCOMPARE(listing.size(), 1);
    QVERIFY(listing.first().startsWith(kFile + QLatin1Char('\t')));
    QCOMPARE(ListRemoteFolders(kFolder), QStringList());
    QCOMPARE(ReadRemoteFile(kFolder, leftovers.first()), QStringLiteral("NG"));
    QCOMPARE(ReadRemoteFile(kFolder, kFile), cp932::Decode(m_old));
}

// A later save in the folder removes what a dead save left once it is ten minutes old; a
// younger one, one whose writer still holds it, and those of other folders stay.
void tst_ServerFaults::leftoversOfDeadSavesCleanedUp()
{
    m_server.setFault(QStringLiteral("stall"));
    const QString result = whileStopped(
        m_server, [&] { return SaveRemoteFile(kFolder, kFile, document(QStringLiteral("x"), 10000)); },
        [](pid_t pid) { ::kill(pid, SIGKILL); });
    QCOMPARE(result, QStringLiteral("NG"));
    m_server.clearFaults();
    const QStringList dead = faults::SaveLeftovers(folderOnDisk());
    QCOMPARE(dead.size(), 1);

    // A save still at work: its file is locked by its writer (here this process).
    const QString working = folderOnDisk() + QStringLiteral("/.vidodu-save-stillworking00000");
    QVERIFY(writeBytes(working, "half"));
    QVERIFY(faults::AgeFile(working, 3600));
    QFile held(working);
    QVERIFY(held.open(QIODevice::ReadOnly));
    QCOMPARE(::flock(held.handle(), LOCK_EX | LOCK_NB), 0);
    // Old leftovers of another folder, and hidden names that are not ours.
    const QString otherFolder = m_server.server().dataDir() + QStringLiteral("/other");
    QVERIFY(QDir().mkpath(otherFolder));
    QVERIFY(writeBytes(otherFolder + QStringLiteral("/.vidodu-save-elsewhere0000000"), "x"));
    QVERIFY(faults::AgeFile(otherFolder + QStringLiteral("/.vidodu-save-elsewhere0000000"), 3600));
    QVERIFY(writeBytes(folderOnDisk() + QStringLiteral("/.keep"), "x"));
    QVERIFY(faults::AgeFile(folderOnDisk() + QStringLiteral("/.keep"), 3600));

    QCOMPARE(SaveRemoteFile(kFolder, kFile, QStringLiteral("second\r\n")), QStringLiteral("OK"));
    QVERIFY(faults::SaveLeftovers(folderOnDisk()).contains(dead.first())); // too young yet

    QVERIFY(faults::AgeFile(folderOnDisk() + QLatin1Char('/') + dead.first(), 11 * 60));
    QCOMPARE(SaveRemoteFile(kFolder, kFile, QStringLiteral("third\r\n")), QStringLiteral("OK"));
    QCOMPARE(faults::SaveLeftovers(folderOnDisk()), QStringList { QFileInfo(working).fileName() });
    QCOMPARE(faults::SaveLeftovers(otherFolder).size(), 1);
    QVERIFY(QFile::exists(folderOnDisk() + QStringLiteral("/.keep")));
    QCOMPARE(fileBytes(fileOnDisk()), QByteArray("third\r\n"));

    held.close(); // its writer is gone
    QCOMPARE(SaveRemoteFile(kFolder, kFile, QStringLiteral("fourth\r\n")), QStringLiteral("OK"));
    QCOMPARE(faults::SaveLeftovers(folderOnDisk()), QStringList());
}

// The web server stops while the script is saving: the save fails and the old file is whole.
void tst_ServerFaults::webServerStopsMidSave()
{
    m_server.setFault(QStringLiteral("stall"));
    QElapsedTimer clock;
    clock.start();
    const QString result = whileStopped(
        m_server, [&] { return SaveRemoteFile(kFolder, kFile, document(QStringLiteral("new "), 100000)); },
        [&](pid_t) { m_server.server().stop(); });
    QCOMPARE(result, QStringLiteral("NG"));
    QVERIFY2(clock.elapsed() < kStallTimeoutMs, "the lost connection ends the wait, not the time-out");
    m_server.killStopped(); // the script, had lighttpd not taken it down
    QCOMPARE(fileBytes(fileOnDisk()), m_old);
    // Every operation fails at once while the server is away.
    QCOMPARE(ReadRemoteFile(kFolder, kFile), QStringLiteral("NG"));
    QCOMPARE(SaveRemoteFile(kFolder, kFile, QStringLiteral("x")), QStringLiteral("NG"));
    QCOMPARE(fileBytes(fileOnDisk()), m_old);

    // Back up again (over a new, empty root): saving works as before.
    m_server.clearFaults();
    QVERIFY2(m_server.server().start(), qPrintable(m_server.server().errorText()));
    strServer = m_server.server().serverText();
    QVERIFY(QDir().mkpath(folderOnDisk()));
    QCOMPARE(SaveRemoteFile(kFolder, kFile, QStringLiteral("again\r\n")), QStringLiteral("OK"));
}

void tst_ServerFaults::scriptNeverAnswers_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("read") << QStringLiteral("read");
    QTest::newRow("save") << QStringLiteral("save");
    QTest::newRow("list") << QStringLiteral("list");
}

// A script that hangs: the wait ends at the time-out with the failure result, the old file is
// whole, and the next request, once the script answers again, succeeds.
void tst_ServerFaults::scriptNeverAnswers()
{
    QFETCH(QString, operation);
    const int timeoutMs = 1500;
    setStallTimeoutForTesting(timeoutMs);
    m_server.setFault(QStringLiteral("hang"));
    QElapsedTimer clock;
    clock.start();
    if (operation == QLatin1String("read"))
        QCOMPARE(ReadRemoteFile(kFolder, kFile), QStringLiteral("NG"));
    else if (operation == QLatin1String("save"))
        QCOMPARE(SaveRemoteFile(kFolder, kFile, QStringLiteral("new")), QStringLiteral("NG"));
    else
        QCOMPARE(ListRemoteFiles(kFolder), QStringList { QStringLiteral("NG") });
    const qint64 waited = clock.elapsed();
    QVERIFY(m_server.stoppedPid() > 0);
    // Qt's timers may fire up to 5 % early.
    QVERIFY2(waited >= timeoutMs * 9 / 10 && waited < timeoutMs + 5000, qPrintable(QString::number(waited)));
    QCOMPARE(fileBytes(fileOnDisk()), m_old);

    m_server.killStopped();
    m_server.clearFaults();
    QCOMPARE(ReadRemoteFile(kFolder, kFile), cp932::Decode(m_old));
}

// A host's file size limit below the document: "NG", the old file whole, nothing left behind;
// a document within the limit still saves.
void tst_ServerFaults::fileSizeLimit()
{
    m_server.setFault(QStringLiteral("fsize"), "16"); // 16 blocks of 512 bytes
    QCOMPARE(SaveRemoteFile(kFolder, kFile, document(QStringLiteral("big "), 64 * 1024)), QStringLiteral("NG"));
    QCOMPARE(fileBytes(fileOnDisk()), m_old);
    QCOMPARE(faults::SaveLeftovers(folderOnDisk()), QStringList());

    const QString small = document(QStringLiteral("small "), 2048);
    QCOMPARE(SaveRemoteFile(kFolder, kFile, small), QStringLiteral("OK"));
    QCOMPARE(fileBytes(fileOnDisk()), cp932::Encode(small));
}

// A full disk (a small tmpfs as the folder): "NG", the old file whole, nothing left behind,
// and once the failed save is gone a smaller document fits again.
void tst_ServerFaults::diskFull()
{
    const QString mountPoint = folderOnDisk();
    QProcess mount;
    mount.start(QStringLiteral("mount"),
        { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), QStringLiteral("size=256k"),
            QStringLiteral("tmpfs"), mountPoint });
    if (!mount.waitForFinished(10000) || mount.exitStatus() != QProcess::NormalExit || mount.exitCode() != 0)
        QSKIP("no tmpfs can be mounted here (needs root with CAP_SYS_ADMIN); fileSizeLimit stands in");
    const auto unmount = qScopeGuard([&] {
        QProcess::execute(QStringLiteral("umount"), { QStringLiteral("-l"), mountPoint });
    });
    putOldFile(cp932::Encode(document(QStringLiteral("old "), 100 * 1024)));

    QCOMPARE(SaveRemoteFile(kFolder, kFile, document(QStringLiteral("new "), 1024 * 1024)), QStringLiteral("NG"));
    QCOMPARE(fileBytes(fileOnDisk()), m_old);
    QCOMPARE(faults::SaveLeftovers(mountPoint), QStringList());

    const QString fits = document(QStringLiteral("fits "), 100 * 1024);
    QCOMPARE(SaveRemoteFile(kFolder, kFile, fits), QStringLiteral("OK"));
    QCOMPARE(fileBytes(fileOnDisk()), cp932::Encode(fits));
}

QTEST_GUILESS_MAIN(tst_ServerFaults)
#include "tst_serverfaults.moc"
