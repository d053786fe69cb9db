// A settings store that cannot be written, or that holds garbage: the editor starts with its
// defaults, and a damaged file is replaced whole by the next write.

#include "app/appsettings.h"
#include "app/frmMain.h"
#include "platform/settingsstore.h"
#include "randombytes.h"
#include "support/fakeplatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const app::TwipsRect kBuiltIn { 2355, 2400, 9555, 7080 };

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void verifyDefaults(const app::StartupSettings &s)
{
    QCOMPARE(s.server, app::DEFAULT_SERVER);
    QCOMPARE(s.storedUser, QString());
    QCOMPARE(s.clearPass, false);
    QCOMPARE(s.font.name, app::DEFAULT_FONT_NAME);
    QCOMPARE(s.font.size, app::DEFAULT_FONT_SIZE);
    QCOMPARE(s.wrap, true);
    QCOMPARE(app::HistoryLength(s.history), 0);
    QCOMPARE(s.window.left, kBuiltIn.left);
    QCOMPARE(s.window.width, kBuiltIn.width);
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

    void garbageStore_data();
    void garbageStore();
    void unwritableStore_data();
    void unwritableStore();
    void editorTellsOfStoreTrouble();
};

void tst_SettingsFaults::garbageStore_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("random bytes") << faults::RandomBytes(64 * 1024, 7);
    QTest::newRow("NUL bytes") << QByteArray(4096, '\0');
    QTest::newRow("cut in a key") << QByteArray("[Setting]\nServ");
    QTest::newRow("cut in the header") << QByteArray("[Sett");
    QTest::newRow("keys without values") << QByteArray("[Setting]\nServer\nWrap\n[History]\nCount\n");
    QTest::newRow("UTF-16 with BOM") << QByteArray::fromRawData(
        "\xff\xfe[\0S\0e\0t\0t\0i\0n\0g\0]\0\n\0W\0r\0a\0p\0=\0F\0\n\0", 34);
    QTest::newRow("one line of 4 MB") << QByteArray(4 * 1024 * 1024, 'x');
    QTest::newRow("binary after good lines") << QByteArray("[Window]\nWidth=abc\n") + faults::RandomBytes(1024, 8);
}

// A store full of garbage starts the editor with every default, the damaged file is kept aside
// for the user, and the next write makes a store that reads back (QSettings alone would never
// write over a file it could not parse, so every later setting would be lost).
void tst_SettingsFaults::garbageStore()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Lumeno/Lumeno.ini"));
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(writeBytes(path, content));
    {
        platform::SettingsStore store(path);
        verifyDefaults(app::ReadStartupSettings(store, kBuiltIn));
        app::WriteExitSettings(store, kBuiltIn, false, oneEntry());
        QVERIFY(store.Sync());
        if (!store.SetAsideFile().isEmpty()) {
            QFile aside(store.SetAsideFile());
            QVERIFY(aside.open(QIODevice::ReadOnly));
            QCOMPARE(aside.readAll(), content);
        }
    }
    platform::SettingsStore reopened(path);
    const app::StartupSettings s = app::ReadStartupSettings(reopened, kBuiltIn);
    QCOMPARE(s.wrap, false);
    QCOMPARE(s.history, oneEntry());
}

void tst_SettingsFaults::unwritableStore_data()
{
    QTest::addColumn<QString>("blocker"); // what stands where the store's folder or file goes
    QTest::newRow("its folder is a file") << QStringLiteral("Lumeno");
    QTest::newRow("its file is a folder") << QStringLiteral("Lumeno/Lumeno.ini/");
}

// A store that cannot be written: defaults on reading, and a write reports failure instead of
// pretending; nothing crashes. (Tests run as root, so a read-only file would still be written.)
void tst_SettingsFaults::unwritableStore()
{
    QFETCH(QString, blocker);
    QTemporaryDir dir;
    if (blocker.endsWith(QLatin1Char('/')))
        QVERIFY(QDir().mkpath(dir.filePath(blocker)));
    else
        QVERIFY(writeBytes(dir.filePath(blocker), "not a folder"));
    platform::SettingsStore store(dir.filePath(QStringLiteral("Lumeno/Lumeno.ini")));
    verifyDefaults(app::ReadStartupSettings(store, kBuiltIn));
    app::WriteExitSettings(store, kBuiltIn, false, oneEntry());
    app::WriteUpdateInfo(store, QStringLiteral("/usr/bin"), QStringLiteral("1.00.0000"));
    QVERIFY(!store.Sync());
}

// The editor tells the user when the store was damaged (and where the damaged file is kept)
// and, once a run, when the store cannot be written, instead of forgetting settings silently.
void tst_SettingsFaults::editorTellsOfStoreTrouble()
{
    QTemporaryDir dir;
    const QString damaged = dir.filePath(QStringLiteral("damaged/Lumeno.ini"));
    QVERIFY(QDir().mkpath(QFileInfo(damaged).path()));
    QVERIFY(writeBytes(damaged, faults::RandomBytes(4096, 9)));
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("blocked")), "not a folder"));
    const QString blocked = dir.filePath(QStringLiteral("blocked/Lumeno.ini"));

    for (const QString &path : { damaged, blocked }) {
        platform::SettingsStore store(path);
        platform::services().settings = &store;
        testsupport::FakeDialogs dialogs;
        {
            frmMain window;
            window.Form_Load();
            int cancel = 0;
            window.Form_Unload(cancel);
        }
        platform::services().settings = nullptr;
        QCOMPARE(dialogs.messages.size(), 1);
        const QString text = dialogs.messageTexts().constFirst();
        if (path == damaged)
            QVERIFY2(text.startsWith(QStringLiteral("設定ファイルが壊れていたため"))
                    && text.endsWith(path + QStringLiteral(".damaged")),
                qPrintable(text));
        else
            QCOMPARE(text, QStringLiteral("設定を保存できませんでした。\r\n") + path);
    }
}

QTEST_MAIN(tst_SettingsFaults)
#include "tst_settingsfaults.moc"
