#include "app/windowgeometry.h"
#include "codec/codec.h"
#include "platform/machine.h"
#include "windowfixture.h"

#include <QAction>
#include <QMenu>

using testsupport::ScriptedMain;

namespace {

const QString WINDOW = QStringLiteral("Window");
const QString SETTING = QStringLiteral("Setting");
const QString HISTORY = QStringLiteral("History");

} // namespace

class TestStartup : public testsupport::WindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init()
    {
        start(false);
        modPublic::strServer = QStringLiteral("left.over");
        modPublic::strPassword = QStringLiteral("left over");
        modPublic::blnClearPass = true;
    }
    void cleanup() { finish(); }

    // Twips are converted with the screen's own pixels per inch: 15 at 96 dpi, 12 at 120 dpi.
    void twipsFollowTheScreen()
    {
        QCOMPARE(app::TwipsPerPixelAt(96, 96).x, 15.0);
        QCOMPARE(app::TwipsPerPixelAt(120, 144).y, 10.0);
        QCOMPARE(app::TwipsToPixels(9435, 15), 629);
        QCOMPARE(app::SingleText(app::PixelsToTwips(629, 15)), QStringLiteral("9435"));
        QCOMPARE(app::SingleText(10.5), QStringLiteral("10.5"));
    }

    // A first run starts with every default in place; a stored value that does not convert, or
    // lies outside its range, counts as absent.
    void startsWithDefaults_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("first run") << QString() << QString() << QString();
        const std::pair<QString, QString> rows[] = { { "FontSize", "0" }, { "FontSize", "-4" }, { "FontSize", "401" },
            { "FontSize", "large" }, { "FontName", "" }, { "Wrap", "yes" }, { "ClearPass", "true" } };
        for (const auto &[key, value] : rows)
            QTest::addRow("%s=%s", qPrintable(key), qPrintable(value)) << SETTING << key << value;
        QTest::newRow("Width=wide") << WINDOW << "Width" << QStringLiteral("wide");
        QTest::newRow("Left=1e") << WINDOW << "Left" << QStringLiteral("1e");
        for (const char *count : { "three", "-2", "1.5" })
            QTest::addRow("Count=%s", count) << HISTORY << "Count" << QString::fromLatin1(count);
    }
    void startsWithDefaults()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        if (!key.isEmpty()) {
            save(section, key, value);
            save(HISTORY, QStringLiteral("Path1"), QStringLiteral("data"));
            save(HISTORY, QStringLiteral("File1"), QStringLiteral("a.txt"));
        }
        ScriptedMain *window = restart();
        QCOMPARE(modPublic::strServer, QStringLiteral("127.0.0.1"));
        QCOMPARE(modPublic::strPassword, QString());
        QCOMPARE(modPublic::blnClearPass, false);
        QCOMPARE(window->PanelText(QStringLiteral("font")), QStringLiteral("ＭＳ ゴシック 11pt"));
        QCOMPARE(window->txtMain->font().pointSizeF(), 11.0);
        QCOMPARE(window->PanelText(QStringLiteral("filename")), QStringLiteral("(No File)"));
        QVERIFY(window->ToolButton(QStringLiteral("wrap"))->isChecked());
        QVERIFY(window->menuWrap->isChecked());
        QVERIFY(window->WordWrap());
        QCOMPARE(window->menuRecentFiles.size(), 1);
        QCOMPARE(window->menuRecentFiles[0]->text(), QStringLiteral("(なし)"));
        QVERIFY(!window->menuRecentFiles[0]->isEnabled());
        QVERIFY(window->isVisible());
        QVERIFY(!window->blnModified);
        QCOMPARE(window->windowTitle(), QStringLiteral("Lumeno"));
        // The designed placement: the client area at 2355, 2400 twips, 9315 twips wide.
        const app::TwipsPerPixel scale = app::ScreenTwipsPerPixel(window->screen());
        QCOMPARE(
            window->geometry().topLeft(), QPoint(app::TwipsToPixels(2355, scale.x), app::TwipsToPixels(2400, scale.y)));
        QCOMPARE(window->width(), app::TwipsToPixels(9315, scale.x));
    }

    // The stored password is decoded on this computer; one made on another computer is no password.
    void storedPasswordDecoded_data()
    {
        QTest::addColumn<QString>("madeOn");
        QTest::addColumn<QString>("expected");
        QTest::newRow("this computer") << QString() << QStringLiteral("s3cret_pw");
        QTest::newRow("another computer") << QStringLiteral("ANOTHER-PC") << QString();
    }
    void storedPasswordDecoded()
    {
        QFETCH(QString, madeOn);
        if (!madeOn.isEmpty())
            platform::setComputerNameOverride(madeOn);
        save(SETTING, QStringLiteral("User"), modPublic::Encode(QStringLiteral("s3cret_pw")));
        platform::setComputerNameOverride(std::nullopt);
        save(SETTING, QStringLiteral("ClearPass"), QStringLiteral("True"));
        save(SETTING, QStringLiteral("Server"), QStringLiteral("example.org:8080/cgi"));
        restart();
        QTEST(modPublic::strPassword, "expected");
        QCOMPARE(modPublic::blnClearPass, true);
        QCOMPARE(modPublic::strServer, QStringLiteral("example.org:8080/cgi"));
    }

    // Stored values apply as they are: a half-point font size (shown in whole points), wrap off,
    // outer bounds even off the screen, and the first Count recent files, Count held to ten.
    void storedValuesApplied_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("listed");
        QTest::newRow("Count=3") << 3 << 3;
        QTest::newRow("Count=25") << 25 << 10;
    }
    void storedValuesApplied()
    {
        QFETCH(int, count);
        QFETCH(int, listed);
        const std::pair<QString, QString> values[]
            = { { "FontSize", "10.5" }, { "FontName", "IPAGothic" }, { "Wrap", "False" } };
        for (const auto &[key, value] : values)
            save(SETTING, key, value);
        const std::pair<QString, QString> bounds[]
            = { { "Width", "9000" }, { "Height", "6000" }, { "Left", "-45000" }, { "Top", "1500" } };
        for (const auto &[key, value] : bounds)
            save(WINDOW, key, value);
        for (int n = 1; n <= 12; ++n) {
            save(HISTORY, QStringLiteral("Path%1").arg(n), QStringLiteral("data/d%1").arg(n));
            save(HISTORY, QStringLiteral("File%1").arg(n), QStringLiteral("f%1.txt").arg(n));
        }
        save(HISTORY, QStringLiteral("Count"), QString::number(count));

        ScriptedMain *window = restart();

        QCOMPARE(window->PanelText(QStringLiteral("font")), QStringLiteral("IPAGothic 10pt"));
        QCOMPARE(window->txtMain->font().pointSizeF(), 10.5);
        QVERIFY(!window->WordWrap());
        QVERIFY(!window->menuWrap->isChecked());
        QVERIFY(!window->ToolButton(QStringLiteral("wrap"))->isChecked());
        const app::TwipsPerPixel scale = app::ScreenTwipsPerPixel(window->screen());
        QCOMPARE(window->frameGeometry(), app::ToPixels({ -45000, 1500, 9000, 6000 }, scale));
        QCOMPARE(app::HistoryLength(window->arrHistory), listed);
        QCOMPARE(window->arrHistory[2], (app::HistoryItem { QStringLiteral("data/d3"), QStringLiteral("f3.txt") }));
        QCOMPARE(window->mhdRecent->actions(), window->menuRecentFiles);
        QCOMPARE(window->menuRecentFiles.size(), listed);
        for (int n = 0; n < listed; ++n) {
            QCOMPARE(window->menuRecentFiles[n]->text(), QStringLiteral("f%1.txt").arg(n + 1));
            QVERIFY(window->menuRecentFiles[n]->isEnabled());
        }
    }

    // "UpdateInfo" is rewritten at every start, before the shortcut type is registered and the
    // window shows.
    void updateInfoWrittenAtEveryStart()
    {
        for (int run = 0; run < 2; ++run) {
            save(QStringLiteral("UpdateInfo"), QStringLiteral("ApplicationPath"), QStringLiteral("stale"));
            save(QStringLiteral("UpdateInfo"), QStringLiteral("CurrentVersion"), QStringLiteral("0.00.0000"));
            QCOMPARE(restart()->registrations, QStringList { QStringLiteral("visible=0 updateinfo=1") });
            QCOMPARE(stored(QStringLiteral("UpdateInfo"), QStringLiteral("ApplicationPath")), platform::AppPath());
            QCOMPARE(stored(QStringLiteral("UpdateInfo"), QStringLiteral("CurrentVersion")),
                QStringLiteral("%1.%2.%3")
                    .arg(PROJECT_MAJOR)
                    .arg(PROJECT_MINOR, 2, 10, QLatin1Char('0'))
                    .arg(PROJECT_REVISION, 4, 10, QLatin1Char('0')));
        }
    }

    // Closing writes the outer bounds, the wrap state and all ten history places, Count one past
    // the last place that holds a file.
    void shutdownWritesSettings()
    {
        save(HISTORY, QStringLiteral("Count"), QStringLiteral("5"));
        for (int n : { 1, 3, 7 }) {
            save(HISTORY, QStringLiteral("Path%1").arg(n), QStringLiteral("data"));
            save(HISTORY, QStringLiteral("File%1").arg(n), QStringLiteral("f%1").arg(n));
        }
        ScriptedMain *window = restart();
        window->setGeometry(100, 120, 640, 480);
        window->menuWrap->trigger();
        window->blnModified = false;
        QVERIFY(window->close());

        const app::TwipsRect outer = app::ToTwips(window->frameGeometry(), app::ScreenTwipsPerPixel(window->screen()));
        QCOMPARE(stored(WINDOW, QStringLiteral("Width")), app::SingleText(outer.width));
        QCOMPARE(stored(WINDOW, QStringLiteral("Height")), app::SingleText(outer.height));
        QCOMPARE(stored(WINDOW, QStringLiteral("Left")), app::SingleText(outer.left));
        QCOMPARE(stored(WINDOW, QStringLiteral("Top")), app::SingleText(outer.top));
        QCOMPARE(stored(SETTING, QStringLiteral("Wrap")), QStringLiteral("False"));
        QCOMPARE(stored(HISTORY, QStringLiteral("Count")), QStringLiteral("3"));
        QCOMPARE(stored(HISTORY, QStringLiteral("File3")), QStringLiteral("f3"));
        for (int n = 4; n <= 10; ++n) {
            QCOMPARE(stored(HISTORY, QStringLiteral("Path%1").arg(n)), QString());
            QCOMPARE(stored(HISTORY, QStringLiteral("File%1").arg(n)), QString());
        }
    }

    // A window closed while minimized leaves the stored placement of the run before.
    void minimizedKeepsStoredGeometry()
    {
        save(WINDOW, QStringLiteral("Width"), QStringLiteral("9000"));
        save(WINDOW, QStringLiteral("Left"), QStringLiteral("300"));
        ScriptedMain *window = restart();
        window->showMinimized();
        QVERIFY(window->isMinimized());
        QVERIFY(window->close());
        QCOMPARE(stored(WINDOW, QStringLiteral("Width")), QStringLiteral("9000"));
        QCOMPARE(stored(WINDOW, QStringLiteral("Left")), QStringLiteral("300"));
        QCOMPARE(stored(WINDOW, QStringLiteral("Height")), QStringLiteral("<absent>"));
        QCOMPARE(stored(SETTING, QStringLiteral("Wrap")), QStringLiteral("True"));
    }

    // Cancel in the save prompt keeps the window open and writes nothing.
    void cancelInSavePromptWritesNothing()
    {
        ScriptedMain *window = restart();
        m_settings->store().Sync();
        const QByteArray before = testsupport::ReadAll(m_settings->path());
        window->txtMain->insertPlainText(QStringLiteral("未保存"));
        m_dialogs->answerMessage(platform::MsgAnswer::Cancel);
        window->menuQuit->trigger();
        QVERIFY(window->isVisible());
        QCOMPARE(m_dialogs->messages.size(), 1);
        m_settings->store().Sync();
        QCOMPARE(testsupport::ReadAll(m_settings->path()), before);
    }

private:
    QString stored(const QString &section, const QString &key) const
    {
        return m_settings->reopened()->GetSetting(section, key, QStringLiteral("<absent>"));
    }
    void save(const QString &section, const QString &key, const QString &value)
    {
        m_settings->store().SaveSetting(section, key, value);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
