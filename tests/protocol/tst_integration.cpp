// The ten operations against the real vidodu.cgi under lighttpd, with Japanese names and a
// document of 10 MB.

#include "platform/cp932.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/localserver.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace modPublic;

namespace {

const QString kPassword = QStringLiteral("Pass_word-1");

// A document of at least minBytes in code page 932: Japanese lines ended by CR LF, with
// half-width katakana, symbols whose trail byte is "\", and lines that look like the framing.
QString bigDocument(qsizetype minBytes)
{
    const QString lines[] = {
        QString::fromUtf8("吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。"),
        QString::fromUtf8("ｶﾀｶﾅ ﾊﾝｶｸ ﾃｽﾄ、ソ表能十～①㈱ ― \"quoted\" \\ back"),
        QStringLiteral("--===261205074201===AbCdEfGhIjKlMn0----------------------"),
        QStringLiteral("Content-Disposition:form-data;name=\"content\""),
        QString(),
        QStringLiteral("NG"),
    };
    QString text;
    text.reserve(minBytes);
    qsizetype bytes = 0;
    for (int n = 0; bytes < minBytes; ++n) {
        const QString line = QString::number(n) + QLatin1Char(' ') + lines[n % 6] + QStringLiteral("\r\n");
        bytes += cp932::ByteCount(line);
        text += line;
    }
    return text;
}

} // namespace

class tst_Integration : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_server.stop(); }

    void checkServer();
    void folderLifeCycle();
    void documentRoundTrip();
    void refusals();

private:
    testsupport::LocalServer m_server;
};

void tst_Integration::initTestCase()
{
    testsupport::usePrivateRuntimeDir();
    QVERIFY2(m_server.start(kPassword), qPrintable(m_server.errorText()));
    strServer = m_server.serverText();
    strPassword = kPassword;
}

// CHECK passes with the right password only.
void tst_Integration::checkServer()
{
    QVERIFY(CheckServer(m_server.serverText(), kPassword));
    QVERIFY(!CheckServer(m_server.serverText(), QStringLiteral("pass_word-1")));
    QVERIFY(!CheckServer(m_server.serverText() + QStringLiteral("/nowhere"), kPassword));
}

// Folders and files with Japanese names are made, listed, renamed and deleted.
void tst_Integration::folderLifeCycle()
{
    const QString folder = QString::fromUtf8("data/日本語ソ表フォルダ");
    const QString sub = folder + QString::fromUtf8("/下の階層");
    QCOMPARE(ListRemoteFolders("data"), QStringList{});
    QCOMPARE(NewRemoteFolder(folder), QStringLiteral("OK"));
    QCOMPARE(NewRemoteFolder(sub), QStringLiteral("OK"));
    QCOMPARE(ListRemoteFolders("data"), QStringList{QString::fromUtf8("日本語ソ表フォルダ")});
    QCOMPARE(ListRemoteFolders(folder), QStringList{QString::fromUtf8("下の階層")});
    QVERIFY(QDir(m_server.dataDir()).exists(QString::fromUtf8("日本語ソ表フォルダ/下の階層")));

    const QString text = QString::fromUtf8("一行目\r\n二行目ｱｲｳ\r\n");
    QCOMPARE(SaveRemoteFile(folder, QString::fromUtf8("メモ①.txt"), text), QStringLiteral("OK"));
    const QStringList files = ListRemoteFiles(folder);
    QCOMPARE(files.size(), 1);
    const QStringList columns = files.constFirst().split(QLatin1Char('\t'));
    QCOMPARE(columns.size(), 3);
    QCOMPARE(columns.at(0), QString::fromUtf8("メモ①.txt"));
    QCOMPARE(columns.at(2), QString::number(cp932::ByteCount(text)));

    QCOMPARE(RenameRemoteFile(folder + QString::fromUtf8("/メモ①.txt"), QString::fromUtf8("改名ｶﾀｶﾅ.txt")),
             QStringLiteral("OK"));
    QCOMPARE(ListRemoteFiles(folder).constFirst().section(QLatin1Char('\t'), 0, 0), QString::fromUtf8("改名ｶﾀｶﾅ.txt"));
    QCOMPARE(RenameRemoteFolder(folder, QString::fromUtf8("新しい名前")), QStringLiteral("OK"));
    const QString renamed = QString::fromUtf8("data/新しい名前");
    QCOMPARE(ListRemoteFolders("data"), QStringList{QString::fromUtf8("新しい名前")});
    QCOMPARE(ReadRemoteFile(renamed, QString::fromUtf8("改名ｶﾀｶﾅ.txt")), text);

    QCOMPARE(DeleteRemoteFile(renamed + QString::fromUtf8("/改名ｶﾀｶﾅ.txt")), QStringLiteral("OK"));
    QCOMPARE(ListRemoteFiles(renamed), QStringList{});
    QCOMPARE(DeleteRemoteFolder(renamed), QStringLiteral("OK"));
    QCOMPARE(ListRemoteFolders("data"), QStringList{});
    QVERIFY(QDir(m_server.dataDir()).isEmpty());
}

// A 10 MB Japanese document is stored as its code page 932 bytes and read back unchanged; an
// empty one reads back as the empty text, not as a failure.
void tst_Integration::documentRoundTrip()
{
    for (const QString &document : {bigDocument(10 * 1024 * 1024), QString()}) {
        QVERIFY(cp932::CanEncode(document));
        const QString name = QString::fromUtf8("文書%1.txt").arg(document.size());
        QCOMPARE(SaveRemoteFile("data", name, document), QStringLiteral("OK"));
        QFile file(m_server.dataDir() + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == cp932::Encode(document));
        const QString back = ReadRemoteFile("data", name);
        QCOMPARE(back.size(), document.size());
        QVERIFY(back == document);
        QCOMPARE(DeleteRemoteFile(QStringLiteral("data/") + name), QStringLiteral("OK"));
    }
}

// What the script refuses reaches the callers as the failure results.
void tst_Integration::refusals()
{
    QCOMPARE(ReadRemoteFile("data", QString::fromUtf8("無い.txt")), QStringLiteral("NG"));
    QCOMPARE(ListRemoteFolders(QStringLiteral("data/無い")), QStringList{"NG"});
    QCOMPARE(ListRemoteFiles(QStringLiteral("../etc")), QStringList{"NG"});
    QCOMPARE(DeleteRemoteFolder(QStringLiteral("data")), QStringLiteral("NG"));
    QCOMPARE(NewRemoteFolder(QStringLiteral("data/.hidden")), QStringLiteral("NG"));

    strPassword = QStringLiteral("wrong");
    QCOMPARE(SaveRemoteFile("data", "n.txt", "x"), QStringLiteral("NG"));
    QCOMPARE(ListRemoteFolders("data"), QStringList{"NG"});
    strPassword = kPassword;
    QVERIFY(!QFile::exists(m_server.dataDir() + QStringLiteral("/n.txt")));
}

QTEST_GUILESS_MAIN(tst_Integration)
#include "tst_integration.moc"
