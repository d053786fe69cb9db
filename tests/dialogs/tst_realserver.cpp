// The ten operations and the file browser's reading of a listing against the real vidodu.cgi
// under lighttpd on 127.0.0.1, in one pass: Japanese names, a document of 10 MB, and a wrong
// password.

#include "dialogs/filer/filerrules.h"
#include "platform/cp932.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/localserver.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

using namespace modPublic;

class tst_RealServer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    // The password is checked; a folder with a Japanese name is made, a file saved into it, both
    // renamed and deleted, each step on disk, the listing read as the browser shows it; a 10 MB
    // document, lines that look like the framing among them, is stored as its code page 932 bytes
    // and read back unchanged, an empty one too; a wrong password arrives as the failure.
    void onePass()
    {
        testsupport::LocalServer server;
        QVERIFY2(server.start(QStringLiteral("right-Pass_1")), qPrintable(server.errorText()));
        const auto onDisk = [&server](const QString &path) { return QFileInfo(server.rootDir() + u'/' + path); };
        strServer = server.serverText();
        QVERIFY(!CheckServer(strServer, QStringLiteral("wrong")));
        strPassword = QStringLiteral("right-Pass_1");
        QVERIFY(CheckServer(strServer, strPassword));

        QCOMPARE(NewRemoteFolder("data/日本語ソ表"), "OK");
        QCOMPARE(ListRemoteFolders("data"), QStringList { "日本語ソ表" });
        QCOMPARE(SaveRemoteFile("data/日本語ソ表", "メモ①.txt", "本文\r\n"), "OK");
        const QStringList listed = ListRemoteFiles("data/日本語ソ表").value_or(QStringList());
        QCOMPARE(listed.size(), 1);
        const std::optional<filer::FileEntry> entry = filer::ParseFileLine(listed.first());
        QVERIFY(entry);
        QCOMPARE(entry->name + filer::FormatFileSize(entry->size), "メモ①.txt6ﾊﾞｲﾄ"); // CR LF counts
        QCOMPARE(RenameRemoteFile("data/日本語ソ表/メモ①.txt", "改名ｶﾀｶﾅ.txt"), "OK");
        QCOMPARE(ReadRemoteFile("data/日本語ソ表", "改名ｶﾀｶﾅ.txt"), "本文\r\n");
        QCOMPARE(DeleteRemoteFile("data/日本語ソ表/改名ｶﾀｶﾅ.txt"), "OK");
        QVERIFY(QDir(onDisk("data/日本語ソ表").filePath()).isEmpty());
        QCOMPARE(RenameRemoteFolder("data/日本語ソ表", "新しい名前"), "OK");
        QVERIFY(onDisk("data/新しい名前").isDir());
        QCOMPARE(DeleteRemoteFolder("data/新しい名前"), "OK");
        QCOMPARE(ListRemoteFolders("data"), QStringList());

        QString big;
        for (int n = 0; big.size() < 5 * 1024 * 1024; ++n)
            big += QString::number(n) + QStringLiteral(" 吾輩は猫ｶﾀｶﾅ～①\\\r\n--===261205074201===\r\n\r\nNG\r\n");
        for (const QString &document : { big, QString(), QStringLiteral("NG") }) {
            QCOMPARE(SaveRemoteFile("data", "文書.txt", document), "OK");
            QFile file(onDisk("data/文書.txt").filePath());
            QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == cp932::Encode(document));
            QVERIFY(ReadRemoteFile("data", "文書.txt") == document);
        }
        // The script names the stored bytes as the editor does: a save is confirmed, and a save
        // from a version that is no longer the file's, or onto a name that appeared, is refused.
        const std::optional<RemoteDocument> read = ReadRemoteDocument("data", "文書.txt");
        QVERIFY(read && read->version == VersionOf(cp932::Encode(read->text)));
        QCOMPARE(int(SaveRemoteDocument("data", "文書.txt", cp932::Encode(u"一"), { read->version }).result), int(SaveResult::Saved));
        QCOMPARE(
            int(SaveRemoteDocument("data", "文書.txt", cp932::Encode(u"二"), { read->version }).result), int(SaveResult::Conflict));
        QCOMPARE(int(SaveRemoteDocument("data", "文書.txt", cp932::Encode(u"三"), { {}, true }).result), int(SaveResult::Conflict));
        QCOMPARE(ReadRemoteFile("data", "文書.txt"), "一");
        strPassword = QStringLiteral("wrong");
        QVERIFY(!ListRemoteFiles("data"));
    }
};

QTEST_MAIN(tst_RealServer)
#include "tst_realserver.moc"
