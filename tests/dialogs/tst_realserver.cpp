// The ten operations and the file browser's reading of a listing against the real vidodu.cgi
// under lighttpd on 127.0.0.1, in one pass: Japanese names, a document of 10 MB, and a wrong
// password; documents in each encoding opened and saved through the document's life cycle.

#include "app/document.h"
#include "dialogs/filer/filerrules.h"
#include "platform/cp932.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/localserver.h"
#include "support/tables.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

using namespace modPublic;
using platform::MsgAnswer;

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
        QCOMPARE(int(SaveRemoteDocument("data", "文書.txt", "1", { read->version }).result), int(SaveResult::Saved));
        QCOMPARE(int(SaveRemoteDocument("data", "文書.txt", "2", { read->version }).result), int(SaveResult::Conflict));
        QCOMPARE(int(SaveRemoteDocument("data", "文書.txt", "3", { {}, true }).result), int(SaveResult::Conflict));
        QCOMPARE(ReadRemoteFile("data", "文書.txt"), "1");
        strPassword = QStringLiteral("wrong");
        QVERIFY(!ListRemoteFiles("data"));
    }

    void documentEncodings_data() { testsupport::AddTableRows(QStringLiteral("text-encodings.txt")); }
    // A document another program stored opens in its own encoding and, unedited, is saved back
    // byte for byte; an edit keeps the encoding. One that neither encoding reads asks before it
    // is saved, and Cancel leaves the file alone. A new text saved as UTF-8 keeps every character.
    void documentEncodings()
    {
        QFETCH(QString, bytes);
        QFETCH(QString, encoding);
        testsupport::LocalServer server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        strServer = server.serverText();
        strPassword.clear();
        const auto stored = [&server](const QString &name) {
            QFile file(server.dataDir() + u'/' + name);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("?");
        };
        QFile file(server.dataDir() + QStringLiteral("/文書.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes.toLatin1()) == bytes.size() && file.flush());
        testsupport::FakeDialogs dialogs;
        QString text;
        app::Document document(nullptr,
            { .text = [&] { return text; },
                .setText = [&](const QString &set) { text = set; },
                .showFileName = [](const QString &) {},
                .historyChanged = [] {},
                .lockWindow = [](bool) {},
                .showProgress = [](const QString &) {},
                .showFiler =
                    [] {
                        QCOMPARE(encFilerEncoding, textencoding::TextEncoding::ShiftJis);
                        blnFilerOK = true;
                        strCurrentFolder = QStringLiteral("data");
                        strCurrentFile = QStringLiteral("新.txt");
                        encFilerEncoding = textencoding::TextEncoding::Utf8;
                    },
                .readFile = ReadRemoteDocument,
                .saveFile = SaveRemoteDocument,
                .showEncoding = {},
                .dropDraft = [] {} });
        QVERIFY(document.LoadRemoteDocument({ QStringLiteral("data"), QStringLiteral("文書.txt") }));
        QCOMPARE(textencoding::EncodingName(document.encoding), encoding);
        const bool readable = !text.contains(QChar::ReplacementCharacter);
        if (!readable)
            dialogs.answerMessage(MsgAnswer::Cancel);
        QCOMPARE(document.TrySaveDocument(), readable);
        QCOMPARE(stored("文書.txt"), bytes.toLatin1());
        if (readable) {
            text += QStringLiteral("編集");
            QVERIFY(document.TrySaveDocument());
            QCOMPARE(stored("文書.txt"), textencoding::EncodeDocument(text, textencoding::EncodingNamed(encoding)));
        }
        document.NewDocument();
        text = QStringLiteral("波〜絵😀");
        QVERIFY(document.TrySaveDocumentAs());
        QCOMPARE(stored("新.txt"), text.toUtf8());
    }
};

QTEST_MAIN(tst_RealServer)
#include "tst_realserver.moc"
