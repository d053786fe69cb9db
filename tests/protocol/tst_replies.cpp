// What each reply of the script means to the ten operations.

#include "protocol/modPublic.h"
#include "protocol/replies.h"
#include "support/fakeplatform.h"

#include <QTest>

using namespace modPublic;

using Operation = std::function<QString()>;   // runs one operation, its result as text
using Rule = std::function<QString(const QString &reply)>;   // reads a reply, its result as text

namespace {
// The items and their count: an empty list and a list of one empty item differ.
QString joined(const QStringList &list)
{
    return QString::number(list.size()) + QStringLiteral("[") + list.join(QStringLiteral("|")) + QStringLiteral("]");
}
} // namespace

class tst_Replies : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void cleanup() { setCommandHandler(nullptr); }
    void rules_data();
    void rules();
    void operations_data();
    void operations();
};

void tst_Replies::rules_data()
{
    QTest::addColumn<Rule>("rule");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("expected");
    // CHECK succeeds exactly when the reply's first two characters are "OK".
    const Rule check = [](const QString &r) { return CheckReplyResult(r) ? QStringLiteral("true") : QStringLiteral("false"); };
    QTest::newRow("check OK") << check << "OK" << "true";
    QTest::newRow("check OK LF") << check << "OK\n" << "true";
    QTest::newRow("check begins with OK") << check << "OKAY, anything" << "true";
    QTest::newRow("check lower case") << check << "ok" << "false";
    QTest::newRow("check one character") << check << "O" << "false";
    QTest::newRow("check NG") << check << "NG" << "false";
    QTest::newRow("check empty") << check << "" << "false";
    QTest::newRow("check blank before") << check << " OK" << "false";
    QTest::newRow("check error page") << check << "<html>OK</html>" << "false";
    // A status reply succeeds when the text before its first LF is the command's success line.
    const Rule status = [](const QString &r) { return StatusReplyResult(r, u"Save OK"); };
    QTest::newRow("status line") << status << "Save OK\n" << "OK";
    QTest::newRow("status further lines ignored") << status << "Save OK\nmore\nNG" << "OK";
    QTest::newRow("status CR LF keeps CR in the line") << status << "Save OK\r\n" << "NG";
    QTest::newRow("status no line feed") << status << "Save OK" << "NG";
    QTest::newRow("status NG") << status << "NG" << "NG";
    QTest::newRow("status NG LF") << status << "NG\n" << "NG";
    QTest::newRow("status empty") << status << "" << "NG";
    QTest::newRow("status only LF") << status << "\n" << "NG";
    QTest::newRow("status other case") << status << "save ok\n" << "NG";
    QTest::newRow("status trailing blank") << status << "Save OK \n" << "NG";
    QTest::newRow("another command's status") << status << "New Folder OK\n" << "NG";
    QTest::newRow("status error page") << status << "<html>\nSave OK\n</html>" << "NG";
    // A listing is every line after the first, which must be the folder path that was sent.
    const auto listing = [](const QString &path) {
        return Rule([path](const QString &r) { return joined(ListingReplyResult(r, path)); });
    };
    QTest::newRow("names") << listing("data/a") << "data/a\nx\ny" << "2[x|y]";
    QTest::newRow("path alone: empty list") << listing("data/a") << "data/a" << "0[]";
    QTest::newRow("ends with LF: empty last item") << listing("data/a") << "data/a\nx\n" << "2[x|]";
    QTest::newRow("path and LF") << listing("data") << "data\n" << "1[]";
    QTest::newRow("empty lines kept") << listing("data") << "data\n\nx\n\n" << "4[|x||]";
    QTest::newRow("first folder named NG") << listing("data") << "data\nNG\nb" << "2[NG|b]";
    QTest::newRow("CR stays in its line") << listing("data") << "data\nx\r\ny" << "2[x\r|y]";
    QTest::newRow("file lines unsplit") << listing("data") << "data\nn.txt\t2026/12/05 7:42:01\t12"
                                        << "1[n.txt\t2026/12/05 7:42:01\t12]";
    QTest::newRow("japanese") << listing(QString::fromUtf8("data/日本")) << QString::fromUtf8("data/日本\nソ表")
                              << QString::fromUtf8("1[ソ表]");
    QTest::newRow("other path") << listing("data/a") << "data/b\nx" << "1[NG]";
    QTest::newRow("path with CR LF") << listing("data") << "data\r\nx" << "1[NG]";
    QTest::newRow("path in other case") << listing("data") << "DATA\nx" << "1[NG]";
    QTest::newRow("listing NG") << listing("data") << "NG" << "1[NG]";
    QTest::newRow("listing empty") << listing("data") << "" << "1[NG]";
    // READFILE gives everything after the first LF when the first line is the requested file.
    const Rule read = [](const QString &r) { return ReadReplyResult(r, u"data/a/n.txt"); };
    QTest::newRow("content") << read << "data/a/n.txt\nhello" << "hello";
    QTest::newRow("line breaks kept") << read << "data/a/n.txt\nx\r\ny\r\n\r\n" << "x\r\ny\r\n\r\n";
    QTest::newRow("LF inside content") << read << "data/a/n.txt\n\nx\n" << "\nx\n";
    QTest::newRow("empty file") << read << "data/a/n.txt\n" << "";
    QTest::newRow("content NG reads as failure") << read << "data/a/n.txt\nNG" << "NG";
    QTest::newRow("another file") << read << "data/a/m.txt\nhello" << "NG";
    QTest::newRow("first line with CR") << read << "data/a/n.txt\r\nhello" << "NG";
    QTest::newRow("path without LF") << read << "data/a/n.txt" << "NG";
    QTest::newRow("read NG") << read << "NG" << "NG";
    QTest::newRow("read empty") << read << "" << "NG";
    QTest::newRow("read error page") << read << "<html>\n<body>" << "NG";
}

// Each reply form means what the rule in its row's comment says.
void tst_Replies::rules()
{
    QFETCH(Rule, rule);
    QFETCH(QString, reply);
    QFETCH(QString, expected);
    QCOMPARE(rule(reply), expected);
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
    QTest::newRow("folders") << folders << "data\na\nb" << "2[a|b]";
    QTest::newRow("folders of another path") << folders << "data/x\na" << "1[NG]";
    QTest::newRow("files") << files << "data/x\nn.txt\td\t1" << "1[n.txt\td\t1]";
    QTest::newRow("files empty") << files << "data/x" << "0[]";
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
    for (const auto &[name, op, failure] : {std::tuple{"check", check, "false"}, {"folders", folders, "1[NG]"},
                                            {"files", files, "1[NG]"}, {"read", read, "NG"}, {"save", save, "NG"},
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

QTEST_GUILESS_MAIN(tst_Replies)
#include "tst_replies.moc"
