#include "app/frmMain.h"
#include "app/windowgeometry.h"
#include "codec/codec.h"
#include "platform/machine.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>

using platform::MsgAnswer;

namespace {

// The main window with the shell's part recorded instead of done.
class RecordingMain : public frmMain {
public:
    QStringList calls;
    void RegisterShortcutType() override
    {
        const bool updateInfo
            = platform::settingsStore().Contains(QStringLiteral("UpdateInfo"), QStringLiteral("CurrentVersion"));
        calls.append(QStringLiteral("register visible=%1 updateinfo=%2").arg(isVisible()).arg(updateInfo));
    }
    void OpenShortcut(const QString &path) override { calls.append(QStringLiteral("open ") + path); }
};

const QString WINDOW = QStringLiteral("Window");
const QString SETTING = QStringLiteral("Setting");
const QString HISTORY = QStringLiteral("History");

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init();
    void cleanup();

    void twipsFollowTheScreen();
    void firstRunDefaults();
    void storedPasswordDecoded_data();
    void storedPasswordDecoded();
    void badValuesFallBack_data();
    void badValuesFallBack();
    void historyReadsCountEntriesOnly();
    void halfPointFontSize();
    void storedGeometryAppliedUnchanged();
    void updateInfoWrittenAtEveryStart();
    void shortcutTypeRegisteredBeforeShowing();
    void commandLineOpenedAtFirstActivationOnly();
    void shutdownWritesSettings();
    void minimizedKeepsStoredGeometry();
    void cancelInSavePromptWritesNothing();
    void noInSavePromptCloses();

private:
    RecordingMain *load();
    QString stored(const QString &section, const QString &key) const
    {
        return m_settings->reopened()->GetSetting(section, key, QStringLiteral("<absent>"));
    }
    void save(const QString &section, const QString &key, const QString &value)
    {
        m_settings->store().SaveSetting(section, key, value);
    }

    std::unique_ptr<testsupport::TempSettings> m_settings;
    std::unique_ptr<testsupport::FakeDialogs> m_dialogs;
    std::unique_ptr<RecordingMain> m_window;
};

void TestStartup::init()
{
    m_settings = std::make_unique<testsupport::TempSettings>();
    m_dialogs = std::make_unique<testsupport::FakeDialogs>();
    modPublic::strServer = QStringLiteral("left.over");
    modPublic::strPassword = QStringLiteral("left over");
    modPublic::blnClearPass = true;
    modPublic::strCurrentFile.clear();
}

void TestStartup::cleanup()
{
    if (m_window)
        m_window->blnModified = false;
    m_window.reset();
    QVERIFY2(m_dialogs->unexpected.isEmpty(), qPrintable(m_dialogs->unexpected.join(QLatin1Char('\n'))));
    m_dialogs.reset();
    m_settings.reset();
}

RecordingMain *TestStartup::load()
{
    m_window = std::make_unique<RecordingMain>();
    m_window->SetCommandLine(QString());
    m_window->Form_Load();
    return m_window.get();
}

// Twips are converted with the screen's own pixels per inch: 15 at 96 dpi, 12 at 120 dpi.
void TestStartup::twipsFollowTheScreen()
{
    QCOMPARE(app::TwipsPerPixelAt(96, 96).x, 15.0);
    QCOMPARE(app::TwipsPerPixelAt(120, 144).y, 10.0);
    QCOMPARE(app::TwipsToPixels(9435, 15), 629);
    QCOMPARE(app::SingleText(app::PixelsToTwips(629, 15)), QStringLiteral("9435"));
    QCOMPARE(app::SingleText(10.5), QStringLiteral("10.5"));
}

// A first run with an empty store starts with every default in place.
void TestStartup::firstRunDefaults()
{
    frmMain *window = load();
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
void TestStartup::storedPasswordDecoded_data()
{
    QTest::addColumn<QString>("madeOn");
    QTest::addColumn<QString>("expected");
    QTest::newRow("this computer") << QString() << QStringLiteral("s3cret_pw");
    QTest::newRow("another computer") << QStringLiteral("ANOTHER-PC") << QString();
}

void TestStartup::storedPasswordDecoded()
{
    QFETCH(QString, madeOn);
    QFETCH(QString, expected);
    if (!madeOn.isEmpty())
        platform::setComputerNameOverride(madeOn);
    const QString code = modPublic::Encode(QStringLiteral("s3cret_pw"));
    platform::setComputerNameOverride(std::nullopt);
    save(SETTING, QStringLiteral("User"), code);
    save(SETTING, QStringLiteral("ClearPass"), QStringLiteral("True"));
    save(SETTING, QStringLiteral("Server"), QStringLiteral("example.org:8080/cgi"));
    load();
    QCOMPARE(modPublic::strPassword, expected);
    QCOMPARE(modPublic::blnClearPass, true);
    QCOMPARE(modPublic::strServer, QStringLiteral("example.org:8080/cgi"));
}

// A stored value that does not convert, or lies outside its range, counts as absent.
void TestStartup::badValuesFallBack_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("font size zero") << SETTING << "FontSize"
                                    << "0";
    QTest::newRow("font size negative") << SETTING << "FontSize"
                                        << "-4";
    QTest::newRow("font size absurd") << SETTING << "FontSize"
                                      << "401";
    QTest::newRow("font size text") << SETTING << "FontSize"
                                    << "large";
    QTest::newRow("font name empty") << SETTING << "FontName"
                                     << "";
    QTest::newRow("wrap not a truth value") << SETTING << "Wrap"
                                            << "yes";
    QTest::newRow("clear pass lower case") << SETTING << "ClearPass"
                                           << "true";
    QTest::newRow("width text") << WINDOW << "Width"
                                << "wide";
    QTest::newRow("left text") << WINDOW << "Left"
                               << "1e";
    QTest::newRow("count text") << HISTORY << "Count"
                                << "three";
    QTest::newRow("count negative") << HISTORY << "Count"
                                    << "-2";
    QTest::newRow("count fraction") << HISTORY << "Count"
                                    << "1.5";
}

void TestStartup::badValuesFallBack()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    save(section, key, value);
    save(HISTORY, QStringLiteral("Path1"), QStringLiteral("data"));
    save(HISTORY, QStringLiteral("File1"), QStringLiteral("a.txt"));
    frmMain *window = load();
    testsupport::TempSettings fresh;
    frmMain reference;
    reference.Form_Load();
    QCOMPARE(window->PanelText(QStringLiteral("font")), QStringLiteral("ＭＳ ゴシック 11pt"));
    QCOMPARE(window->txtMain->font().pointSizeF(), 11.0);
    QVERIFY(window->WordWrap());
    QCOMPARE(modPublic::blnClearPass, false);
    QCOMPARE(window->frameGeometry(), reference.frameGeometry());
    QCOMPARE(window->menuRecentFiles[0]->text(), QStringLiteral("(なし)"));
}

// Only the first Count entries are read, Count is held to ten, and the submenu lists them.
void TestStartup::historyReadsCountEntriesOnly()
{
    for (int n = 1; n <= 12; ++n) {
        save(HISTORY, QStringLiteral("Path%1").arg(n), QStringLiteral("data/d%1").arg(n));
        save(HISTORY, QStringLiteral("File%1").arg(n), QStringLiteral("f%1.txt").arg(n));
    }
    save(HISTORY, QStringLiteral("Count"), QStringLiteral("3"));
    frmMain *window = load();
    QCOMPARE(app::HistoryLength(window->arrHistory), 3);
    QCOMPARE(window->arrHistory[2], (app::HistoryItem { QStringLiteral("data/d3"), QStringLiteral("f3.txt") }));
    QStringList captions;
    for (QAction *item : window->menuRecentFiles) {
        QVERIFY(item->isEnabled());
        captions.append(item->text());
    }
    QCOMPARE(captions, (QStringList { "f1.txt", "f2.txt", "f3.txt" }));
    QCOMPARE(window->mhdRecent->actions(), window->menuRecentFiles);
    m_window.reset();

    save(HISTORY, QStringLiteral("Count"), QStringLiteral("25"));
    QCOMPARE(app::HistoryLength(load()->arrHistory), 10);
}

// A size of 10.5 points is used as it is and shown in whole points.
void TestStartup::halfPointFontSize()
{
    save(SETTING, QStringLiteral("FontSize"), QStringLiteral("10.5"));
    save(SETTING, QStringLiteral("FontName"), QStringLiteral("IPAGothic"));
    frmMain *window = load();
    QCOMPARE(window->PanelText(QStringLiteral("font")), QStringLiteral("IPAGothic 10pt"));
    QCOMPARE(window->txtMain->font().pointSizeF(), 10.5);
}

// The stored outer bounds apply as they are, even off the screen.
void TestStartup::storedGeometryAppliedUnchanged()
{
    save(WINDOW, QStringLiteral("Width"), QStringLiteral("9000"));
    save(WINDOW, QStringLiteral("Height"), QStringLiteral("6000"));
    save(WINDOW, QStringLiteral("Left"), QStringLiteral("-45000"));
    save(WINDOW, QStringLiteral("Top"), QStringLiteral("1500"));
    frmMain *window = load();
    const app::TwipsPerPixel scale = app::ScreenTwipsPerPixel(window->screen());
    const QRect expected = app::ToPixels({ -45000, 1500, 9000, 6000 }, scale);
    QCOMPARE(window->frameGeometry(), expected);
}

// "UpdateInfo" is rewritten at every start, even when nothing else changed.
void TestStartup::updateInfoWrittenAtEveryStart()
{
    for (int run = 0; run < 2; ++run) {
        save(QStringLiteral("UpdateInfo"), QStringLiteral("ApplicationPath"), QStringLiteral("stale"));
        save(QStringLiteral("UpdateInfo"), QStringLiteral("CurrentVersion"), QStringLiteral("0.00.0000"));
        load();
        QCOMPARE(stored(QStringLiteral("UpdateInfo"), QStringLiteral("ApplicationPath")), platform::AppPath());
        QCOMPARE(stored(QStringLiteral("UpdateInfo"), QStringLiteral("CurrentVersion")),
            QStringLiteral("%1.%2.%3")
                .arg(PROJECT_MAJOR)
                .arg(PROJECT_MINOR, 2, 10, QLatin1Char('0'))
                .arg(PROJECT_REVISION, 4, 10, QLatin1Char('0')));
        m_window.reset();
    }
}

// The shortcut type is registered after "UpdateInfo" is written and before the window shows.
void TestStartup::shortcutTypeRegisteredBeforeShowing()
{
    RecordingMain *window = load();
    QCOMPARE(window->calls, QStringList { QStringLiteral("register visible=0 updateinfo=1") });
}

// The whole command line is opened as a shortcut when the shown window first becomes active,
// and never again.
void TestStartup::commandLineOpenedAtFirstActivationOnly()
{
    RecordingMain *window = load();
    window->calls.clear();
    window->Form_Activate();
    QVERIFY(window->calls.isEmpty());

    m_window.reset();
    m_window = std::make_unique<RecordingMain>();
    m_window->SetCommandLine(QStringLiteral("/home/user/my docs/memo.txt.lmk"));
    m_window->Form_Load();
    QTRY_VERIFY(m_window->blnCommandLineDone);
    m_window->Form_Activate();
    QCOMPARE(m_window->calls,
        (QStringList { QStringLiteral("register visible=0 updateinfo=1"),
            QStringLiteral("open /home/user/my docs/memo.txt.lmk") }));
}

// Closing writes the outer bounds, the wrap state and all ten history places, Count recomputed.
void TestStartup::shutdownWritesSettings()
{
    save(HISTORY, QStringLiteral("Count"), QStringLiteral("5"));
    for (int n = 1; n <= 3; ++n) {
        save(HISTORY, QStringLiteral("Path%1").arg(n), QStringLiteral("data"));
        save(HISTORY, QStringLiteral("File%1").arg(n), QStringLiteral("f%1").arg(n));
    }
    save(HISTORY, QStringLiteral("Path7"), QStringLiteral("data"));
    save(HISTORY, QStringLiteral("File7"), QStringLiteral("never read"));
    frmMain *window = load();
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
void TestStartup::minimizedKeepsStoredGeometry()
{
    save(WINDOW, QStringLiteral("Width"), QStringLiteral("9000"));
    save(WINDOW, QStringLiteral("Left"), QStringLiteral("300"));
    frmMain *window = load();
    window->showMinimized();
    QVERIFY(window->isMinimized());
    QVERIFY(window->close());
    QCOMPARE(stored(WINDOW, QStringLiteral("Width")), QStringLiteral("9000"));
    QCOMPARE(stored(WINDOW, QStringLiteral("Left")), QStringLiteral("300"));
    QCOMPARE(stored(WINDOW, QStringLiteral("Height")), QStringLiteral("<absent>"));
    QCOMPARE(stored(SETTING, QStringLiteral("Wrap")), QStringLiteral("True"));
}

// Cancel in the save prompt keeps the window open and writes nothing.
void TestStartup::cancelInSavePromptWritesNothing()
{
    frmMain *window = load();
    m_settings->store().Sync();
    QFile file(m_settings->path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    window->txtMain->insertPlainText(QStringLiteral("未保存"));
    m_dialogs->answerMessage(MsgAnswer::Cancel);
    window->menuQuit->trigger();
    QVERIFY(window->isVisible());
    QCOMPARE(m_dialogs->messageTexts(), QStringList { QStringLiteral("変更された内容をファイルに保存しますか？") });
    QCOMPARE(m_dialogs->messages[0].request.buttons, platform::MsgButtons::YesNoCancel);
    QCOMPARE(m_dialogs->messages[0].request.defaultButton, MsgAnswer::Cancel);
    QCOMPARE(m_dialogs->messages[0].request.icon, platform::MsgIcon::Question);
    m_settings->store().Sync();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

// No in the save prompt lets the window close and write its settings.
void TestStartup::noInSavePromptCloses()
{
    frmMain *window = load();
    window->txtMain->insertPlainText(QStringLiteral("捨てる"));
    m_dialogs->answerMessage(MsgAnswer::No);
    window->menuQuit->trigger();
    QVERIFY(!window->isVisible());
    QCOMPARE(stored(HISTORY, QStringLiteral("Count")), QStringLiteral("0"));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
