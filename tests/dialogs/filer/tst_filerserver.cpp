#include "dialogs/filer/frmFiler.h"
#include "filertesthelpers.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/keyboard.h"
#include "support/localserver.h"

#include <QApplication>
#include <QDir>
#include <QTest>

using namespace filertest;

class tst_FilerServer : public QObject {
    Q_OBJECT
private:
    testsupport::LocalServer server;
    QString OnDisk(const QString &path) const { return QDir(server.rootDir()).filePath(path); }

private slots:
    void initTestCase();
    void foldersAndFilesWithJapaneseNames();
};

void tst_FilerServer::initTestCase()
{
    testsupport::usePrivateRuntimeDir();
    const QString password = QStringLiteral("filer-test_1");
    QVERIFY2(server.start(password), qPrintable(server.errorText()));
    modPublic::setCommandHandler(nullptr);
    modPublic::strServer = server.serverText();
    modPublic::strPassword = password;
}

// Against the real script under lighttpd: a folder with a Japanese name is made, a file is
// saved into it, both are renamed and deleted, and each step shows in the dialog and on disk;
// a name the server refuses brings the message and leaves the dialog open.
void tst_FilerServer::foldersAndFilesWithJapaneseNames()
{
    testsupport::FakeDialogs asked;
    const QString folder = QStringLiteral("日本語のフォルダ");
    {
        modPublic::lngFilerMode = 1;
        modPublic::blnFilerOK = false;
        frmFiler dlg;
        dlg.show();
        QVERIFY(ClickFolder(dlg, "data"));
        asked.answerInput(QStringLiteral(".."));
        Tool(dlg, "newfolder")->trigger();
        QCOMPARE(asked.messageTexts(), QStringList{"フォルダの作成に失敗しました。"});
        QVERIFY(dlg.isVisible());

        asked.answerInput(folder);
        Tool(dlg, "newfolder")->trigger();
        QCOMPARE(Children(Node(dlg, "data")), QStringList{folder});
        QVERIFY(QFileInfo(OnDisk("data/" + folder)).isDir());

        QVERIFY(ClickFolder(dlg, "data/" + folder));
        testsupport::typeText(Name(dlg), QStringLiteral("メモ.txt"));
        QTest::mouseClick(Button(dlg, "cmdOK"), Qt::LeftButton);
        QVERIFY(modPublic::blnFilerOK);
    }
    QCOMPARE(modPublic::strCurrentFolder, "data/" + folder);
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("メモ.txt"));
    QCOMPARE(modPublic::SaveRemoteFile(modPublic::strCurrentFolder, modPublic::strCurrentFile,
                 QStringLiteral("本文\r\n")),
        QStringLiteral("OK"));

    modPublic::lngFilerMode = 0;
    frmFiler dlg;
    dlg.show();
    QVERIFY(ClickFolder(dlg, "data/" + folder));
    QCOMPARE(Column(List(dlg), 0), QStringList{"メモ.txt"});
    QCOMPARE(Column(List(dlg), 2), QStringList{"6ﾊﾞｲﾄ"});   // two double-byte characters and CR LF

    QVERIFY(ClickFile(dlg, "メモ.txt"));
    asked.answerInput(QStringLiteral("改名.txt"));
    Tool(dlg, "renamefile")->trigger();
    QCOMPARE(Column(List(dlg), 0), QStringList{"改名.txt"});
    QVERIFY(QFileInfo::exists(OnDisk("data/" + folder + "/改名.txt")));
    QVERIFY(!QFileInfo::exists(OnDisk("data/" + folder + "/メモ.txt")));

    QVERIFY(ClickFile(dlg, "改名.txt"));
    Tool(dlg, "deletefile")->trigger();
    QVERIFY(Column(List(dlg), 0).isEmpty());
    QVERIFY(!QFileInfo::exists(OnDisk("data/" + folder + "/改名.txt")));

    const QString renamed = QStringLiteral("新しい名前");
    asked.answerInput(renamed);
    Tool(dlg, "renamefolder")->trigger();
    QCOMPARE(Children(Node(dlg, "data")), QStringList{renamed});
    QVERIFY(QFileInfo(OnDisk("data/" + renamed)).isDir());
    QVERIFY(!QFileInfo::exists(OnDisk("data/" + folder)));

    QVERIFY(ClickFolder(dlg, "data/" + renamed));
    asked.answerMessage(platform::MsgAnswer::Yes);
    Tool(dlg, "deletefolder")->trigger();
    QVERIFY(Children(Node(dlg, "data")).isEmpty());
    QVERIFY(!QFileInfo::exists(OnDisk("data/" + renamed)));
    QCOMPARE(asked.messages.size(), 2);   // the refused name and the delete question
    QVERIFY(asked.unexpected.isEmpty());
    QVERIFY(asked.allAnswersUsed());
    dlg.reject();
}

QTEST_MAIN(tst_FilerServer)
#include "tst_filerserver.moc"
