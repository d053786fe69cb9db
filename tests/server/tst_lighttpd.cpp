// The real vidodu.cgi under the real lighttpd, reached over HTTP on 127.0.0.1.

#include "multipartbody.h"
#include "support/fakeplatform.h"
#include "support/localserver.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

using servertest::EditorBody;
using servertest::EditorContentType;

class TestLighttpd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void twentyMegabytesRoundTrip();
    void curlFormAccepted();
    void getAnswersNg();
    void concurrentSavesLeaveOneWhole();

private:
    // The reply body of one POST, waited for on the event loop.
    QByteArray post(const QByteArray &body, const QByteArray &contentType = EditorContentType());
    QByteArray curl(const QStringList &arguments);

    testsupport::LocalServer m_server;
    QNetworkAccessManager m_network;
};

void TestLighttpd::initTestCase()
{
    testsupport::usePrivateRuntimeDir();
    QVERIFY2(m_server.start(), qPrintable(m_server.errorText()));
}

QByteArray TestLighttpd::post(const QByteArray &body, const QByteArray &contentType)
{
    QNetworkRequest request(QUrl(m_server.url()));
    request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    std::unique_ptr<QNetworkReply> reply(m_network.post(request, body));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished() && !finished.wait(60000))
        return "(no reply)";
    return reply->readAll();
}

QByteArray TestLighttpd::curl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("curl"),
        QStringList { QStringLiteral("-s") } + arguments + QStringList { m_server.url() });
    if (!process.waitForFinished(60000))
        return "(curl hung)";
    return process.readAllStandardOutput();
}

// A 20 MB document with every byte value comes back byte for byte.
void TestLighttpd::twentyMegabytesRoundTrip()
{
    QByteArray content(20 * 1024 * 1024, '\0');
    QRandomGenerator random(20);
    for (auto &c : content)
        c = static_cast<char>(random.bounded(256));
    const QByteArray file = "data/\x91\xe5\x82\xab\x82\xa2.txt"; // 大きい.txt
    QCOMPARE(post(EditorBody({ { "command", "SAVEFILE" }, { "pass", "" }, { "file", file }, { "content", content } })),
        QByteArray("Save OK\n"));
    const QByteArray reply = post(EditorBody({ { "command", "READFILE" }, { "pass", "" }, { "file", file } }));
    QCOMPARE(reply.size(), file.size() + 1 + content.size());
    QVERIFY(reply.startsWith(file + '\n'));
    QVERIFY(reply.mid(file.size() + 1) == content);
}

// curl -F frames with blanks, a per-part Content-Type for files and a final CR LF.
void TestLighttpd::curlFormAccepted()
{
    QTemporaryDir dir;
    QFile upload(dir.filePath("memo.txt"));
    QVERIFY(upload.open(QIODevice::WriteOnly));
    upload.write("line 1\r\nline 2\r\n");
    upload.close();
    QCOMPARE(curl({ "-F", "command=SAVEFILE", "-F", "pass=", "-F", "file=data/memo.txt", "-F",
                 "content=@" + upload.fileName() }),
        QByteArray("Save OK\n"));
    QCOMPARE(curl({ "-F", "command=READFILE", "-F", "pass=", "-F", "file=data/memo.txt" }),
        QByteArray("data/memo.txt\nline 1\r\nline 2\r\n"));
}

// Only POST is served.
void TestLighttpd::getAnswersNg()
{
    QCOMPARE(curl({}), QByteArray("NG"));
}

// Twenty saves of different contents racing for one file leave exactly one of them whole.
void TestLighttpd::concurrentSavesLeaveOneWhole()
{
    QVERIFY(QDir().mkpath(m_server.dataDir() + "/race"));
    QList<QByteArray> contents;
    std::vector<std::unique_ptr<QNetworkAccessManager>> managers;
    std::vector<std::unique_ptr<QNetworkReply>> replies;
    for (int i = 0; i < 20; ++i) {
        contents << QByteArray(256 * 1024 + i, static_cast<char>('A' + i));
        // One manager each, so that all twenty requests are on the wire at once.
        managers.push_back(std::make_unique<QNetworkAccessManager>());
        QNetworkRequest request(QUrl(m_server.url()));
        request.setHeader(QNetworkRequest::ContentTypeHeader, EditorContentType());
        replies.emplace_back(managers.back()->post(request,
            EditorBody({ { "command", "SAVEFILE" }, { "pass", "" }, { "file", "data/race/race.txt" },
                { "content", contents.last() } })));
    }
    for (auto &reply : replies) {
        if (!reply->isFinished())
            QVERIFY(QSignalSpy(reply.get(), &QNetworkReply::finished).wait(60000));
        QCOMPARE(reply->readAll(), QByteArray("Save OK\n"));
    }
    QFile saved(m_server.dataDir() + "/race/race.txt");
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(contents.contains(saved.readAll()));
    QCOMPARE(QDir(m_server.dataDir() + "/race").entryList(QDir::Files | QDir::Hidden), QStringList { "race.txt" });
}

QTEST_GUILESS_MAIN(TestLighttpd)
#include "tst_lighttpd.moc"
