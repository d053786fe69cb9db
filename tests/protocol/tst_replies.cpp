// What each reply of the script means to the ten operations.

#include "protocol/modPublic.h"
#include "protocol/replies.h"
#include "support/fakeplatform.h"

#include <QTest>

using namespace modPublic;

using Operation = std::function<QString()>;   // runs one operation, its result as text

namespace {
QString joined(const QStringList &list)
{
    return QStringLiteral("[") + list.join(QStringLiteral("|")) + QStringLiteral("]");
}
} // namespace

class tst_Replies : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void cleanup() { setCommandHandler(nullptr); }

    void check_data();
    void check();
    void status_data();
    void status();
    void listing_data();
    void listing();
    void read_data();
    void read();
    void operations_data();
    void operations();
    void secondRequestWhileOneRuns();
};

void tst_Replies::check_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("expected");
    QTest::newRow("OK") << "OK" << true;
    QTest::newRow("OK LF") << "OK\n" << true;
    QTest::newRow("begins with OK") << "OKAY, anything" << true;
    QTest::newRow("lower case") << "ok" << false;
    QTest::newRow("one character") << "O" << false;
    QTest::newRow("NG") << "NG" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blank before") << " OK" << false;
    QTest::newRow("error page") << "<html>OK</html>" << false;
}

// CHECK succeeds exactly when the reply's first two characters are "OK".
void tst_Replies::check()
{
    QFETCH(QString, reply);
    QFETCH(bool, expected);
    QCOMPARE(CheckReplyResult(reply), expected);
}

void tst_Replies::status_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("expected");
    QTest::newRow("status line") << "Save OK\n" << "OK";
    QTest::newRow("further lines ignored") << "Save OK\nmore\nNG" << "OK";
    QTest::newRow("CR LF keeps CR in the line") << "Save OK\r\n" << "NG";
    QTest::newRow("no line feed") << "Save OK" << "NG";
    QTest::newRow("NG") << "NG" << "NG";
    QTest::newRow("NG LF") << "NG\n" << "NG";
    QTest::newRow("empty") << "" << "NG";
    QTest::newRow("only LF") << "\n" << "NG";
    QTest::newRow("other case") << "save ok\n" << "NG";
    QTest::newRow("trailing blank") << "Save OK \n" << "NG";
    QTest::newRow("another command's status") << "New Folder OK\n" << "NG";
    QTest::newRow("error page") << "<html>\nSave OK\n</html>" << "NG";
}

// A status reply succeeds when the text before its first LF is the command's success line.
void tst_Replies::status()
{
    QFETCH(QString, reply);
    QFETCH(QString, expected);
    QCOMPARE(StatusReplyResult(reply, u"Save OK"), expected);
}

void tst_Replies::listing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QStringList>("expected");
    const QStringList ng{"NG"};
    QTest::newRow("names") << "data/a" << "data/a\nx\ny" << QStringList{"x", "y"};
    QTest::newRow("path alone: empty list") << "data/a" << "data/a" << QStringList{};
    QTest::newRow("ends with LF: empty last item") << "data/a" << "data/a\nx\n" << QStringList{"x", ""};
    QTest::newRow("path and LF") << "data" << "data\n" << QStringList{""};
    QTest::newRow("empty lines kept") << "data" << "data\n\nx\n\n" << QStringList{"", "x", "", ""};
    QTest::newRow("first folder named NG") << "data" << "data\nNG\nb" << QStringList{"NG", "b"};
    QTest::newRow("CR stays in its line") << "data" << "data\nx\r\ny" << QStringList{"x\r", "y"};
    QTest::newRow("file lines unsplit") << "data" << "data\nn.txt\t2026/12/05 7:42:01\t12"
                                        << QStringList{"n.txt\t2026/12/05 7:42:01\t12"};
    QTest::newRow("japanese") << QString::fromUtf8("data/日本") << QString::fromUtf8("data/日本\nソ表")
                              << QStringList{QString::fromUtf8("ソ表")};
    QTest::newRow("other path") << "data/a" << "data/b\nx" << ng;
    QTest::newRow("path with CR LF") << "data" << "data\r\nx" << ng;
    QTest::newRow("path in other case") << "data" << "DATA\nx" << ng;
    QTest::newRow("NG") << "data" << "NG" << ng;
    QTest::newRow("empty") << "data" << "" << ng;
}

// A listing is every line after the first, which must be the folder path that was sent.
void tst_Replies::listing()
{
    QFETCH(QString, path);
    QFETCH(QString, reply);
    QFETCH(QStringList, expected);
    QCOMPARE(ListingReplyResult(reply, path), expected);
}

void tst_Replies::read_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("expected");
    QTest::newRow("content") << "data/a/n.txt\nhello" << "hello";
    QTest::newRow("line breaks kept") << "data/a/n.txt\nx\r\ny\r\n\r\n" << "x\r\ny\r\n\r\n";
    QTest::newRow("LF inside content") << "data/a/n.txt\n\nx\n" << "\nx\n";
    QTest::newRow("empty file") << "data/a/n.txt\n" << "";
    QTest::newRow("content NG reads as failure") << "data/a/n.txt\nNG" << "NG";
    QTest::newRow("another file") << "data/a/m.txt\nhello" << "NG";
    QTest::newRow("first line with CR") << "data/a/n.txt\r\nhello" << "NG";
    QTest::newRow("path without LF") << "data/a/n.txt" << "NG";
    QTest::newRow("NG") << "NG" << "NG";
    QTest::newRow("empty") << "" << "NG";
    QTest::newRow("error page") << "<html>\n<body>" << "NG";
}

// READFILE gives everything after the first LF when the first line is the requested file.
void tst_Replies::read()
{
    QFETCH(QString, reply);
    QFETCH(QString, expected);
    QCOMPARE(ReadReplyResult(reply, u"data/a/n.txt"), expected);
}

void tst_Replies::operations_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("expected");

    const Operation check = [] { return CheckServer("s", "p") ? QStringLiteral("true") : QStringLiteral("false"); };
    const Operation folders = [] { return joined(ListRemoteFolders("data")); };
    const Operation files = [] { return joined(ListRemoteFiles("data/x")); };
    const Operation read = [] { return ReadRemoteFile(QString::fromUtf8("data/日本"), QString::fromUtf8("文書.txt")); };
    const Operation save = [] { return SaveRemoteFile("data", "n.txt", "x"); };
    const Operation newFolder = [] { return NewRemoteFolder("data/b"); };
    const Operation deleteFolder = [] { return DeleteRemoteFolder("data/b"); };
    const Operation renameFolder = [] { return RenameRemoteFolder("data/b", "c"); };
    const Operation deleteFile = [] { return DeleteRemoteFile("data/n.txt"); };
    const Operation renameFile = [] { return RenameRemoteFile("data/n.txt", "m.txt"); };

    QTest::newRow("check ok") << check << "OK\n" << "true";
    QTest::newRow("check NG") << check << "NG" << "false";
    QTest::newRow("folders") << folders << "data\na\nb" << "[a|b]";
    QTest::newRow("folders of another path") << folders << "data/x\na" << "[NG]";
    QTest::newRow("files") << files << "data/x\nn.txt\td\t1" << "[n.txt\td\t1]";
    QTest::newRow("files empty") << files << "data/x" << "[]";
    QTest::newRow("read joins folder and name")
        << read << QString::fromUtf8("data/日本/文書.txt\n本文") << QString::fromUtf8("本文");
    QTest::newRow("read of another name") << read << QString::fromUtf8("data/日本\n本文") << "NG";
    QTest::newRow("save") << save << "Save OK\n" << "OK";
    QTest::newRow("new folder") << newFolder << "New Folder OK\n" << "OK";
    QTest::newRow("delete folder") << deleteFolder << "Delete Folder OK\n" << "OK";
    QTest::newRow("rename folder") << renameFolder << "Rename Folder OK\n" << "OK";
    QTest::newRow("delete file") << deleteFile << "Delete File OK\n" << "OK";
    QTest::newRow("rename file") << renameFile << "Rename File OK\n" << "OK";
    QTest::newRow("save with a foreign status") << save << "Rename File OK\n" << "NG";
    QTest::newRow("new folder with a foreign status") << newFolder << "Save OK\n" << "NG";
    QTest::newRow("delete folder with a file's status") << deleteFolder << "Delete File OK\n" << "NG";
    QTest::newRow("rename folder with a file's status") << renameFolder << "Rename File OK\n" << "NG";
    QTest::newRow("delete file with a folder's status") << deleteFile << "Delete Folder OK\n" << "NG";
    QTest::newRow("rename file with a folder's status") << renameFile << "Rename Folder OK\n" << "NG";
    for (const auto &[name, op, failure] : {std::tuple{"check", check, "false"}, {"folders", folders, "[NG]"},
                                            {"files", files, "[NG]"}, {"read", read, "NG"}, {"save", save, "NG"},
                                            {"delete file", deleteFile, "NG"}}) {
        QTest::addRow("%s, empty reply", name) << op << "" << failure;
    }
}

// Every operation reads its own success form, and an empty reply is its failure result.
void tst_Replies::operations()
{
    QFETCH(Operation, operation);
    QFETCH(QString, reply);
    QFETCH(QString, expected);
    setCommandHandler([&reply](const QString &, const FieldList &) { return reply; });
    QCOMPARE(operation(), expected);
}

// A request made while a scripted one runs fails at once and leaves the running one alone.
void tst_Replies::secondRequestWhileOneRuns()
{
    QString inner = QStringLiteral("untouched");
    int calls = 0;
    setCommandHandler([&](const QString &, const FieldList &) {
        ++calls;
        inner = ReadRemoteFile("data", "other.txt");
        return QStringLiteral("data/n.txt\nbody");
    });
    QCOMPARE(ReadRemoteFile("data", "n.txt"), QStringLiteral("body"));
    QCOMPARE(inner, QStringLiteral("NG"));
    QCOMPARE(calls, 1);
    // Once it has ended, the next request runs again.
    QCOMPARE(ReadRemoteFile("data", "n.txt"), QStringLiteral("body"));
    QCOMPARE(calls, 2);
}

QTEST_GUILESS_MAIN(tst_Replies)
#include "tst_replies.moc"
