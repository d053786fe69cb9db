// One of the many editors of the load run: opens, saves and lists the same few files through
// the editor's own protocol layer, as fast as the server answers, and checks every answer.
// Run by run-load.sh, many at a time.
//
//   load_client init   SERVER PASSWORD FILES                 makes data/load and its files
//   load_client run    SERVER PASSWORD FILES CLIENT SECONDS MIX OUT
//                      MIX is "edit" (open, save, list) or "check" (CHECK only);
//                      OUT gets one line per request: op, milliseconds, result, and for saves
//                      the file and payload written
//   load_client verify SERVER PASSWORD FILES SAVELOG         every file holds a whole payload
//                      that some client's successful save wrote to it
//
// A payload names its file, client and number, and carries the MD5 of its body: a read that
// returns anything else (a torn file, another file's text) is found at once.

#include "protocol/modPublic.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTextStream>
#include <cstdio>
#include <optional>

using namespace modPublic;

namespace {

const QString kFolder = QStringLiteral("data/load");

QString fileName(int index)
{
    // Half of the names Japanese: they travel in code page 932 and live in UTF-8 on disk.
    return index % 2 ? QStringLiteral("原稿%1.txt").arg(index) : QStringLiteral("draft%1.txt").arg(index);
}

struct PayloadId {
    int file = -1;
    int client = -1;
    int seq = -1;
};

QString payload(int file, int client, int seq, QRandomGenerator &random)
{
    // Mostly letters of a few KB, now and then a long text.
    const int lines = random.bounded(100) < 85 ? random.bounded(1, 60) : random.bounded(200, 3000);
    QString body;
    for (int n = 0; n < lines; ++n)
        body += QStringLiteral("%1-%2-%3 吾輩は猫である。名前はまだ無い。ｶﾀｶﾅ ～①\\ line %4\r\n")
                    .arg(file)
                    .arg(client)
                    .arg(seq)
                    .arg(n);
    const QByteArray sum = QCryptographicHash::hash(body.toUtf8(), QCryptographicHash::Md5).toHex();
    return QStringLiteral("LOAD %1 %2 %3 %4\r\n").arg(file).arg(client).arg(seq).arg(QString::fromLatin1(sum)) + body;
}

// The payload's identity when the text is one whole payload; nothing otherwise.
std::optional<PayloadId> parsePayload(const QString &text)
{
    const qsizetype end = text.indexOf(QStringLiteral("\r\n"));
    if (end < 0)
        return std::nullopt;
    const QStringList head = text.left(end).split(QLatin1Char(' '));
    if (head.size() != 5 || head[0] != QLatin1String("LOAD"))
        return std::nullopt;
    const QByteArray sum = QCryptographicHash::hash(text.mid(end + 2).toUtf8(), QCryptographicHash::Md5).toHex();
    if (head[4] != QString::fromLatin1(sum))
        return std::nullopt;
    return PayloadId { head[1].toInt(), head[2].toInt(), head[3].toInt() };
}

int init(int files)
{
    NewRemoteFolder(kFolder); // may exist already
    QRandomGenerator random(1);
    for (int f = 0; f < files; ++f) {
        if (SaveRemoteFile(kFolder, fileName(f), payload(f, 0, 0, random)) == QLatin1String("NG")) {
            std::fprintf(stderr, "load_client: cannot create %s\n", qPrintable(fileName(f)));
            return 1;
        }
    }
    return 0;
}

// The listing holds exactly the files, each once: no temporary file, none missing.
bool wholeListing(const QStringList &listing, int files)
{
    if (listing.size() != files)
        return false;
    QSet<QString> names;
    for (const QString &line : listing)
        names.insert(line.section(QLatin1Char('\t'), 0, 0));
    for (int f = 0; f < files; ++f) {
        if (!names.contains(fileName(f)))
            return false;
    }
    return true;
}

int run(int files, int client, int seconds, const QString &mix, const QString &outPath)
{
    QFile out(outPath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text))
        return 1;
    QTextStream log(&out);
    QRandomGenerator random(static_cast<quint32>(client) * 7919u + 17u);
    QElapsedTimer total;
    total.start();
    for (int seq = 1; total.elapsed() < seconds * 1000LL; ++seq) {
        const int f = random.bounded(files);
        const int pick = mix == QLatin1String("check") ? -1 : random.bounded(10);
        QElapsedTimer one;
        one.start();
        if (pick < 0) {
            const bool ok = CheckServer(strServer, strPassword);
            log << "check " << one.elapsed() << (ok ? " ok\n" : " FAILED\n");
        } else if (pick < 4) {
            const std::optional<QString> text = ReadRemoteFile(kFolder, fileName(f));
            const auto id = text ? parsePayload(*text) : std::nullopt;
            const char *result = !text ? " FAILED" : !id || id->file != f ? " TORN" : " ok";
            log << "open " << one.elapsed() << result << '\n';
        } else if (pick < 7) {
            const QString result = SaveRemoteFile(kFolder, fileName(f), payload(f, client, seq, random));
            log << "save " << one.elapsed() << (result == QLatin1String("OK") ? " ok " : " FAILED ") << f << ' '
                << client << ' ' << seq << '\n';
        } else {
            const std::optional<QStringList> listing = ListRemoteFiles(kFolder);
            const char *result = !listing ? " FAILED" : wholeListing(*listing, files) ? " ok" : " TORN";
            log << "list " << one.elapsed() << result << '\n';
        }
    }
    return 0;
}

int verify(int files, const QString &saveLogPath)
{
    // "file client seq" of every save that answered OK.
    QFile saveLog(saveLogPath);
    if (!saveLog.open(QIODevice::ReadOnly | QIODevice::Text))
        return 1;
    QSet<QString> saved;
    while (!saveLog.atEnd())
        saved.insert(QString::fromLatin1(saveLog.readLine()).trimmed());
    int bad = 0;
    for (int f = 0; f < files; ++f) {
        const auto id = parsePayload(ReadRemoteFile(kFolder, fileName(f)).value_or(QString()));
        const bool known = id && id->file == f
            && (id->client == 0 || saved.contains(QStringLiteral("%1 %2 %3").arg(f).arg(id->client).arg(id->seq)));
        if (!known) {
            std::fprintf(stderr, "load_client: %s is not a payload a successful save wrote\n", qPrintable(fileName(f)));
            ++bad;
        }
    }
    return bad == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5) {
        std::fputs("usage: see the head of load_client.cpp\n", stderr);
        return 2;
    }
    const QString mode = args[1];
    strServer = args[2];
    strPassword = args[3];
    const int files = args[4].toInt();
    if (mode == QLatin1String("init"))
        return init(files);
    if (mode == QLatin1String("run") && args.size() == 9)
        return run(files, args[5].toInt(), args[6].toInt(), args[7], args[8]);
    if (mode == QLatin1String("verify") && args.size() == 6)
        return verify(files, args[5]);
    std::fputs("usage: see the head of load_client.cpp\n", stderr);
    return 2;
}
