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
        QCOMPARE(Loaded(), QStringLiteral("127.0.0.1 [] hidden | ＭＳ ゴシック 11pt 11 | wrap 1 1 1 | (なし) (off)"));
        QCOMPARE(window->PanelText(QStringLiteral("filename")), QStringLiteral("(No File)"));
        QVERIFY(window->isVisible());
        QVERIFY(!window->blnModified);
        QCOMPARE(window->windowTitle(), QStringLiteral("Lumeno"));
        // The designed placement: the client area at 2355, 2400 twips, 9315 twips wide.
        const app::TwipsPerPixel scale = app::ScreenTwipsPerPixel(window->screen());
        QCOMPARE(
            window->geometry().topLeft(), QPoint(app::TwipsToPixels(2355, scale.x), app::TwipsToPixels(2400, scale.y)));
        QCOMPARE(window->width(), app::TwipsToPixels(9315, scale.x));
    }

    // Stored values apply as they are: server, password (decoded on this computer only), a
    // half-point font size (shown in whole points), wrap off, outer bounds even off the screen,
    // and the first Count recent files, Count held to ten.
    void storedValuesApplied_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("listed");
        QTest::addColumn<QString>("madeOn"); // the computer the password was stored on
        QTest::addColumn<QString>("password");
        QTest::newRow("Count=3, password from here") << 3 << 3 << QString() << QStringLiteral("s3cret_pw");
        QTest::newRow("Count=25, password from elsewhere") << 25 << 10 << QStringLiteral("ANOTHER-PC") << QString();
    }
    void storedValuesApplied()
    {
        QFETCH(int, count);
        QFETCH(int, listed);
        QFETCH(QString, madeOn);
        QFETCH(QString, password);
        if (!madeOn.isEmpty())
            platform::setComputerNameOverride(madeOn);
        const QString user = modPublic::Encode(QStringLiteral("s3cret_pw"));
        platform::setComputerNameOverride(std::nullopt);
        const std::tuple<QString, QString, QString> values[] = { { SETTING, "User", user },
            { SETTING, "ClearPass", "True" }, { SETTING, "Server", "example.org:8080/cgi" },
            { SETTING, "FontSize", "10.5" }, { SETTING, "FontName", "IPAGothic" }, { SETTING, "Wrap", "False" },
            { WINDOW, "Width", "9000" }, { WINDOW, "Height", "6000" }, { WINDOW, "Left", "-45000" },
            { WINDOW, "Top", "1500" }, { HISTORY, "Count", QString::number(count) } };
        for (const auto &[section, key, value] : values)
            save(section, key, value);
        for (int n = 1; n <= 12; ++n) {
            save(HISTORY, QStringLiteral("Path%1").arg(n), QStringLiteral("data/d%1").arg(n));
            save(HISTORY, QStringLiteral("File%1").arg(n), QStringLiteral("f%1.txt").arg(n));
        }

        ScriptedMain *window = restart();

        QStringList recent;
        for (int n = 1; n <= listed; ++n)
            recent << QStringLiteral("f%1.txt").arg(n);
        QCOMPARE(Loaded(),
            QStringLiteral("example.org:8080/cgi [%1] clear | IPAGothic 10pt 10.5 | wrap 0 0 0 | %2")
                .arg(password, recent.join(QStringLiteral(", "))));
        const app::TwipsPerPixel scale = app::ScreenTwipsPerPixel(window->screen());
        QCOMPARE(window->frameGeometry(), app::ToPixels({ -45000, 1500, 9000, 6000 }, scale));
        QCOMPARE(app::HistoryLength(window->arrHistory), listed);
        QCOMPARE(window->arrHistory[2], (app::HistoryItem { QStringLiteral("data/d3"), QStringLiteral("f3.txt") }));
        QCOMPARE(window->mhdRecent->actions(), window->menuRecentFiles);
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
        QCOMPARE(storedBounds(),
            QStringList({ app::SingleText(outer.left), app::SingleText(outer.top), app::SingleText(outer.width),
                app::SingleText(outer.height) }));
        QCOMPARE(stored(SETTING, QStringLiteral("Wrap")), QStringLiteral("False"));
        QCOMPARE(stored(HISTORY, QStringLiteral("Count")), QStringLiteral("3"));
        QStringList places;
        for (int n = 1; n <= 10; ++n)
            places << stored(HISTORY, QStringLiteral("Path%1").arg(n)) + u'/'
                    + stored(HISTORY, QStringLiteral("File%1").arg(n));
        QCOMPARE(places, QStringList({ "data/f1", "/", "data/f3", "/", "/", "/", "/", "/", "/", "/" }));
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
        QCOMPARE(storedBounds(), QStringList({ "300", "<absent>", "9000", "<absent>" }));
        QCOMPARE(stored(SETTING, QStringLiteral("Wrap")), QStringLiteral("True"));
    }

private:
    // What start-up set up: the connection, the font in the panel and the box, the wrap state in
    // the box, the menu and the button, and the recent files as the submenu lists them.
    QString Loaded() const
    {
        QStringList recent;
        for (const QAction *item : m_window->menuRecentFiles)
            recent << item->text() + (item->isEnabled() ? "" : " (off)");
        return QStringLiteral("%1 [%2] %3 | %4 %5 | wrap %6 %7 %8 | %9")
            .arg(modPublic::strServer, modPublic::strPassword, modPublic::blnClearPass ? "clear" : "hidden",
                m_window->PanelText(QStringLiteral("font")), QString::number(m_window->txtMain->font().pointSizeF()))
            .arg(int(m_window->WordWrap()))
            .arg(int(m_window->menuWrap->isChecked()))
            .arg(int(m_window->ToolButton(QStringLiteral("wrap"))->isChecked()))
            .arg(recent.join(QStringLiteral(", ")));
    }
    QStringList storedBounds() const
    {
        return { stored(WINDOW, "Left"), stored(WINDOW, "Top"), stored(WINDOW, "Width"), stored(WINDOW, "Height") };
    }
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
