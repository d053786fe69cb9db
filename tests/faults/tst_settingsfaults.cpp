// A settings store that holds garbage or cannot be written: the editor starts with its
// defaults, says so once, and a damaged file is set aside and replaced whole by the next write.

#include "app/appsettings.h"
#include "app/frmMain.h"
#include "platform/services.h"
#include "platform/settingsstore.h"
#include "support/fakeplatform.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const app::TwipsRect kBuiltIn { 2355, 2400, 9555, 7080 };

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

app::History oneEntry()
{
    app::History history;
    history[0] = { QStringLiteral("data/手紙"), QStringLiteral("下書き.txt") };
    return history;
}

} // namespace

class tst_SettingsFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void badStore_data();
    void badStore();
};

void tst_SettingsFaults::badStore_data()
{
    QTest::addColumn<QString>("blocker"); // what stands in the store's way, if anything
    QTest::addColumn<QByteArray>("content"); // what the store's file holds
    QTest::addColumn<QString>("message");
    const QString damaged = QStringLiteral("設定ファイルが壊れていたため");
    QTest::newRow("binary") << "" << QByteArray("\xff\xfe[\0S\0\n\0\x81\x00\x9f", 12) << damaged;
    QTest::newRow("NUL bytes") << "" << QByteArray(4096, '\0') << damaged;
    QTest::newRow("cut in a key") << "" << QByteArray("[Setting]\nServ") << damaged;
    QTest::newRow("one line of 4 MB") << "" << QByteArray(4 * 1024 * 1024, 'x') << damaged;
    QTest::newRow("its folder is a file") << "Lumeno" << QByteArray() << "設定を保存できませんでした。";
    QTest::newRow("its file is a folder") << "Lumeno/Lumeno.ini/" << QByteArray() << "設定を保存できませんでした。";
}

// The settings read are the defaults; the editor tells the user once; a damaged file is kept
// aside and the next write makes a store that reads back, while a store that cannot be
// written says so instead of pretending.
void tst_SettingsFaults::badStore()
{
    QFETCH(QString, blocker);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Lumeno/Lumeno.ini"));
    const QString target = blocker.isEmpty() ? path : dir.filePath(blocker);
    QVERIFY(QDir().mkpath(blocker.endsWith(u'/') ? target : QFileInfo(target).path()));
    QFile file(target);
    QVERIFY(blocker.endsWith(u'/') || (file.open(QIODevice::WriteOnly) && file.write(content) == content.size()));
    file.close();
    platform::SettingsStore store(path);
    const app::StartupSettings s = app::ReadStartupSettings(store, kBuiltIn);
    QCOMPARE(s.server, app::DEFAULT_SERVER);
    QCOMPARE(s.wrap, true);
    QCOMPARE(s.window.width, kBuiltIn.width);
    QCOMPARE(blocker.isEmpty() ? fileBytes(store.SetAsideFile()) : store.SetAsideFile().toUtf8(),
        blocker.isEmpty() ? content : QByteArray());
    {
        platform::services().settings = &store;
        testsupport::FakeDialogs dialogs;
        dialogs.answerMessage(platform::MsgAnswer::OK);
        frmMain window;
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support propagateSizeHints()");
        window.Form_Load();
        int cancel = 0;
        window.Form_Unload(cancel);
        platform::services().settings = nullptr;
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(
            dialogs.messageTexts().constFirst().startsWith(message), qPrintable(dialogs.messageTexts().constFirst()));
    }
    app::WriteExitSettings(store, kBuiltIn, false, oneEntry());
    QCOMPARE(store.Sync(), blocker.isEmpty());
    if (blocker.isEmpty())
        QCOMPARE(app::ReadStartupSettings(platform::SettingsStore(path), kBuiltIn).history, oneEntry());
}

QTEST_MAIN(tst_SettingsFaults)
#include "tst_settingsfaults.moc"
