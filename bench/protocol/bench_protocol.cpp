// The protocol layer against curl on the same two requests (save, then read back) of a 10 MB
// Japanese document through lighttpd and vidodu.cgi, over http and over https (a certificate of
// a test authority both trust), and the peak memory of reading 50 MB.
//
//   bench_protocol [--rounds N]    prints the figures as ratios
//   bench_protocol --peak-read SERVER PASSWORD NAME BYTES    (the measured child process)

#include "platform/cp932.h"
#include "platform/services.h"
#include "protocol/framing.h"
#include "protocol/inetConn.h"
#include "protocol/modPublic.h"
#include "support/localserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace modPublic;

namespace {

const QString kPassword = QStringLiteral("bench_pass");

QString japaneseDocument(qsizetype minBytes)
{
    const QString line = QString::fromUtf8(
        "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめした所でﾆｬｰﾆｬｰ泣いていた事だけは記憶している。");
    const qsizetype lineBytes = cp932::ByteCount(line) + 2;
    QString text;
    text.reserve(minBytes / 2 + lineBytes);
    for (qsizetype bytes = 0; bytes < minBytes; bytes += lineBytes)
        text += line + QStringLiteral("\r\n");
    return text;
}

// Kilobytes of a line of /proc/self/status ("VmRSS", "VmHWM").
qint64 statusKiB(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key) + 1).trimmed().split(' ').constFirst().toLongLong();
    }
    return -1;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// One request made by curl with the body from a file, as the editor frames it.
// seconds: curl's run, its start included; ownSeconds: the transfer as curl itself times it.
bool curlRequest(const QString &url, const FieldList &fields, const QString &dir, const QString &tag, double &seconds,
    double &ownSeconds, QByteArray &reply, const QStringList &tls)
{
    const FramedRequest request = FrameRequest(fields, [] { return MakeBoundary(); });
    const QString bodyPath = dir + QStringLiteral("/") + tag + QStringLiteral(".body");
    const QString outPath = dir + QStringLiteral("/") + tag + QStringLiteral(".out");
    QFile body(bodyPath);
    if (!body.open(QIODevice::WriteOnly) || body.write(request.body) < 0)
        return false;
    body.close();

    QProcess curl;
    QElapsedTimer timer;
    timer.start();
    curl.start(QStringLiteral("curl"),
        QStringList { QStringLiteral("-s"), QStringLiteral("-w"), QStringLiteral("%{time_total}"),
            QStringLiteral("--noproxy"), QStringLiteral("*"), QStringLiteral("-o"), outPath, QStringLiteral("-H"),
            QStringLiteral("Content-Type: multipart/form-data; boundary=") + request.boundary,
            QStringLiteral("--data-binary"), QStringLiteral("@") + bodyPath, url }
            + tls);
    const bool ran = curl.waitForFinished(120000) && curl.exitCode() == 0;
    seconds = timer.nsecsElapsed() / 1e9;
    ownSeconds = curl.readAllStandardOutput().trimmed().toDouble();
    QFile out(outPath);
    reply = out.open(QIODevice::ReadOnly) ? out.readAll() : QByteArray();
    return ran;
}

int peakRead(const QStringList &args)
{
    strServer = args.at(0);
    strPassword = args.at(1);
    const qint64 bytes = args.at(3).toLongLong();
    if (!CheckServer(strServer, strPassword)) // brings the network code in before measuring
        return 2;
    const qint64 before = statusKiB("VmRSS:");
    const std::optional<QString> text = ReadRemoteFile(QStringLiteral("data"), args.at(2));
    const qint64 peak = statusKiB("VmHWM:");
    if (!text || cp932::ByteCount(*text) != bytes)
        return 3;
    std::printf("%lld %lld\n", static_cast<long long>(before), static_cast<long long>(peak));
    return 0;
}

// With secure, lighttpd serves https with a certificate of a test authority that the protocol
// layer (through the services) and curl (--cacert) both trust.
int compare(int rounds, bool secure)
{
    testsupport::LocalServer server;
    QTemporaryDir certificates;
    QStringList curlTls;
    if (secure) {
        int status = -1;
        testsupport::RunProgram(QStringLiteral("bash"),
            { QStringLiteral(LUMENO_SOURCE_DIR "/scripts/make-certificates.sh"), certificates.path() }, {}, {},
            &status);
        QFile authority(certificates.filePath(QStringLiteral("authority-ca.pem")));
        if (status != 0 || !authority.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "openssl could not make the certificates\n");
            return 1;
        }
        platform::services().extraAuthoritiesPem = authority.readAll();
        curlTls = QStringList { QStringLiteral("--cacert"), authority.fileName() };
        server.useTls(certificates.filePath(QStringLiteral("authority.pem")),
            certificates.filePath(QStringLiteral("authority.key")));
    }
    blnSecure = secure;
    inetConn control; // closes its kept connections before the application ends
    setTransferControl(&control);
    if (!server.start(kPassword)) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorText()));
        return 1;
    }
    strServer = server.serverText();
    strPassword = kPassword;
    QTemporaryDir work;

    const QString document = japaneseDocument(10 * 1024 * 1024);
    const QByteArray documentBytes = cp932::Encode(document);
    const QString name = QString::fromUtf8("ベンチ文書.txt");
    const QString filePath = QStringLiteral("data/") + name;
    const FieldList saveFields { { "command", "SAVEFILE" }, { "pass", kPassword }, { "file", filePath },
        { "content", document } };
    const FieldList readFields { { "command", "READFILE" }, { "pass", kPassword }, { "file", filePath } };

    QList<double> ours, curls, curlsOwn, ourSaves, ourReads, curlSaves, curlReads;
    for (int round = -1; round < rounds; ++round) { // round -1 warms both up
        QElapsedTimer timer;
        timer.start();
        const QString saved = SaveRemoteFile(QStringLiteral("data"), name, document);
        const double ourSave = timer.nsecsElapsed() / 1e9;
        const std::optional<QString> read = ReadRemoteFile(QStringLiteral("data"), name);
        const double ourSeconds = timer.nsecsElapsed() / 1e9;
        if (saved != QStringLiteral("OK") || read != document) {
            std::fprintf(stderr, "the protocol layer's round trip failed\n");
            return 1;
        }

        double saveSeconds = 0, readSeconds = 0, saveOwn = 0, readOwn = 0;
        QByteArray saveReply, readReply;
        if (!curlRequest(
                server.url(), saveFields, work.path(), QStringLiteral("save"), saveSeconds, saveOwn, saveReply, curlTls)
            || !curlRequest(
                server.url(), readFields, work.path(), QStringLiteral("read"), readSeconds, readOwn, readReply, curlTls)
            || saveReply != "Save OK\n" || readReply != cp932::Encode(filePath) + '\n' + documentBytes) {
            std::fprintf(stderr, "curl's round trip failed\n");
            return 1;
        }
        if (round >= 0) {
            ours.append(ourSeconds);
            curls.append(saveSeconds + readSeconds);
            curlsOwn.append(saveOwn + readOwn);
            ourSaves.append(ourSave);
            ourReads.append(ourSeconds - ourSave);
            curlSaves.append(saveSeconds);
            curlReads.append(readSeconds);
        }
    }
    const double ourMedian = median(ours), curlMedian = median(curls), curlOwnMedian = median(curlsOwn);
    std::printf("save + read of %.1f MB (code page 932) over %s, median of %d rounds\n",
        documentBytes.size() / 1048576.0, secure ? "https" : "http", rounds);
    std::printf("  protocol layer            %8.1f ms\n", ourMedian * 1000);
    std::printf("  curl, its start included  %8.1f ms   ratio %5.2f x  (target <= 1.30)\n", curlMedian * 1000,
        ourMedian / curlMedian);
    std::printf(
        "  curl, its own time_total  %8.1f ms   ratio %5.2f x\n", curlOwnMedian * 1000, ourMedian / curlOwnMedian);
    std::printf("  save alone: %.1f ms against curl's %.1f ms (start included), read alone: %.1f ms against %.1f ms\n",
        median(ourSaves) * 1000, median(curlSaves) * 1000, median(ourReads) * 1000, median(curlReads) * 1000);

    if (secure)
        return 0;
    // Peak memory of a 50 MB read, in a fresh process so that nothing above counts.
    const QString bigName = QString::fromUtf8("大きい文書.txt");
    const QByteArray bigBytes = cp932::Encode(japaneseDocument(50 * 1024 * 1024));
    QFile big(server.dataDir() + QStringLiteral("/") + bigName);
    if (!big.open(QIODevice::WriteOnly) || big.write(bigBytes) != bigBytes.size())
        return 1;
    big.close();
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("--peak-read"), server.serverText(), kPassword, bigName, QString::number(bigBytes.size()) });
    if (!child.waitForFinished(300000) || child.exitCode() != 0) {
        std::fprintf(stderr, "the measured read failed (%d)\n", child.exitCode());
        return 1;
    }
    const QList<QByteArray> kib = child.readAllStandardOutput().trimmed().split(' ');
    const double before = kib.at(0).toDouble() * 1024, peak = kib.at(1).toDouble() * 1024;
    std::printf("read of %.1f MB (code page 932) in a fresh process\n", bigBytes.size() / 1048576.0);
    std::printf("  resident before %8.1f MB\n  peak            %8.1f MB\n", before / 1048576, peak / 1048576);
    std::printf("  peak growth / document size  %5.2f x  (target < 4)\n", (peak - before) / bigBytes.size());
    std::printf("  whole peak / document size   %5.2f x\n", peak / bigBytes.size());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 5 && args.at(0) == QStringLiteral("--peak-read"))
        return peakRead(args.mid(1));
    int rounds = 7;
    if (args.size() == 2 && args.at(0) == QStringLiteral("--rounds"))
        rounds = std::clamp(args.at(1).toInt(), 1, 100);
    const int plain = compare(rounds, false);
    return plain != 0 ? plain : compare(rounds, true);
}
