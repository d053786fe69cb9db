// The settings dialog, the file browser and the ten operations against the real vidodu.cgi
// under lighttpd on 127.0.0.1, with Japanese names and a document of 10 MB.

#include "codec/codec.h"
#include "dialogs/config/frmConfig.h"
#include "dialogs/filer/frmFiler.h"
#include "platform/cp932.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/localserver.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

using namespace modPublic;

namespace {
const QString kPassword = QStringLiteral("right-Pass_1");
}

class tst_RealServer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        strServer = m_server.serverText();
        strPassword = kPassword;
    }
    void settingsChecked();
    void browserManagesJapaneseNames();
    void documentRoundTrip();

private:
    QString onDisk(const QString &path) const { return m_server.rootDir() + u'/' + path; }
    testsupport::LocalServer m_server { {}, LUMENO_SOURCE_DIR "/scripts/local-server.sh" };
    testsupport::TempSettings m_settings;
};

void tst_RealServer::initTestCase()
{
    testsupport::usePrivateRuntimeDir();
    QVERIFY2(m_server.start(kPassword), qPrintable(m_server.errorText()));
}

// Check fails with a wrong password and passes with the right one; OK stores what passed, and
// the operations after it use it.
void tst_RealServer::settingsChecked()
{
    testsupport::FakeDialogs dialogs;
    strServer = QStringLiteral("127.0.0.1:1"); // what the dialog shows until the user types
    strPassword = QStringLiteral("wrong");
    frmConfig dialog;
    dialog.findChild<QLineEdit *>("txtURL")->setText(m_server.serverText());
    for (int i = 0; i < 2; ++i)
        dialogs.answerMessage(platform::MsgAnswer::OK);
    QTest::mouseClick(dialog.findChild<QPushButton *>("cmdCheck"), Qt::LeftButton);
    dialog.findChild<QLineEdit *>("txtPass")->setText(kPassword);
    QTest::mouseClick(dialog.findChild<QPushButton *>("cmdCheck"), Qt::LeftButton);
    QCOMPARE(dialogs.messages.size(), 2);
    QCOMPARE(dialogs.messages[0].request.icon, platform::MsgIcon::Exclamation);
    QCOMPARE(dialogs.messages[1].request.icon, platform::MsgIcon::Information);
    QTest::mouseClick(dialog.findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(Decode(m_settings.reopened()->GetSetting("Setting", "User", {})), kPassword);
    QCOMPARE(ListRemoteFolders("data"), QStringList());
}

// A folder with a Japanese name is made, a file saved into it, both renamed and deleted: each
// step shows in the browser and on disk; a name the script refuses brings the message.
void tst_RealServer::browserManagesJapaneseNames()
{
    testsupport::FakeDialogs asked;
    lngFilerMode = 0;
    frmFiler dlg;
    const auto tool = [&dlg](const char *key) { dlg.findChild<QToolBar *>()->findChild<QAction *>(key)->trigger(); };
    auto *files = dlg.findChild<QTreeWidget *>("lsviewFiles");
    const auto pickFirstFile = [files] {
        files->setCurrentItem(files->topLevelItem(0));
        emit files->itemClicked(files->topLevelItem(0), 0);
    };
    const auto shown = [&dlg](const char *view, QTreeWidgetItem *parent = nullptr) {
        auto *tree = dlg.findChild<QTreeWidget *>(view);
        QStringList texts;
        for (int i = 0; i < (parent ? parent->childCount() : tree->topLevelItemCount()); ++i)
            texts.append((parent ? parent->child(i) : tree->topLevelItem(i))->text(0));
        return texts;
    };
    auto *folders = dlg.findChild<QTreeWidget *>("trviewFolders");
    emit folders->itemClicked(folders->topLevelItem(0), 0);
    asked.answerInput(QStringLiteral(".."));
    asked.answerMessage(platform::MsgAnswer::OK);
    asked.answerInput(QStringLiteral("日本語ソ表"));
    tool("newfolder");
    tool("newfolder");
    QCOMPARE(asked.messageTexts(), QStringList { "フォルダの作成に失敗しました。" });
    QCOMPARE(shown("trviewFolders", folders->topLevelItem(0)), QStringList { "日本語ソ表" });
    QVERIFY(QFileInfo(onDisk("data/日本語ソ表")).isDir());
    QCOMPARE(SaveRemoteFile("data/日本語ソ表", "メモ①.txt", "本文\r\n"), "OK");
    dlg.RebuildFolderTree(QStringLiteral("data/日本語ソ表"));
    QCOMPARE(shown("lsviewFiles"), QStringList { "メモ①.txt" });
    QCOMPARE(files->topLevelItem(0)->text(2), "6ﾊﾞｲﾄ"); // two double-byte characters and CR LF
    pickFirstFile();
    asked.answerInput(QStringLiteral("改名ｶﾀｶﾅ.txt"));
    tool("renamefile");
    QCOMPARE(shown("lsviewFiles"), QStringList { "改名ｶﾀｶﾅ.txt" });
    QCOMPARE(ReadRemoteFile("data/日本語ソ表", "改名ｶﾀｶﾅ.txt"), "本文\r\n");
    pickFirstFile();
    tool("deletefile");
    QVERIFY(QDir(onDisk("data/日本語ソ表")).isEmpty());
    asked.answerInput(QStringLiteral("新しい名前"));
    tool("renamefolder");
    QVERIFY(QFileInfo(onDisk("data/新しい名前")).isDir());
    dlg.RebuildFolderTree(QStringLiteral("data/新しい名前"));
    asked.answerMessage(platform::MsgAnswer::Yes);
    tool("deletefolder");
    QVERIFY(QDir(onDisk("data")).isEmpty());
}

// A 10 MB Japanese document, lines that look like the framing among them, is stored as its
// code page 932 bytes and read back unchanged; an empty one reads back empty, not as a
// failure; what the script refuses arrives as the failure results.
void tst_RealServer::documentRoundTrip()
{
    QString big;
    for (int n = 0; big.size() < 5 * 1024 * 1024; ++n)
        big += QString::number(n) + QStringLiteral(" 吾輩は猫ｶﾀｶﾅ～①\\\r\n--===261205074201===\r\n\r\nNG\r\n");
    for (const QString &document : { big, QString() }) {
        QCOMPARE(SaveRemoteFile("data", "文書.txt", document), "OK");
        QFile file(onDisk("data/文書.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == cp932::Encode(document));
        QVERIFY(ReadRemoteFile("data", "文書.txt") == document);
    }
    QCOMPARE(ReadRemoteFile("data", "無い.txt"), "NG");
    QCOMPARE(NewRemoteFolder("data/.hidden"), "NG");
    strPassword = QStringLiteral("wrong");
    QCOMPARE(ListRemoteFiles("data"), QStringList { "NG" });
    strPassword = kPassword;
}

QTEST_MAIN(tst_RealServer)
#include "tst_realserver.moc"
