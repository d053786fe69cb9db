#include "app/frmMain.h"
#include "app/textcounts.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"

#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

using platform::FontChoice;

class TestEditorView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init();
    void cleanup();

    void wrapSwitchCarriesSelection_data();
    void wrapSwitchCarriesSelection();
    void countsFollowEveryChange();
    void lineBreakStyleKeptBesideTheView_data();
    void lineBreakStyleKeptBesideTheView();
    void fontDialogCancelledChangesNothing();
    void fontChosenIsAppliedSavedAndShown();
    void fontPanelDoubleClickOpensTheDialog();
    void windowKeepsItsMinimumSize();
    void menuBarLaidOutInOrder();
    void toolbarLaidOutInOrder();
    void toolbarDispatchesByKey();

private:
    void type(const QString &text);
    QString countPanel() const { return m_window->PanelText(QStringLiteral("count")); }

    std::unique_ptr<testsupport::TempSettings> m_settings;
    std::unique_ptr<testsupport::FakeDialogs> m_dialogs;
    std::unique_ptr<frmMain> m_window;
};

void TestEditorView::init()
{
    m_settings = std::make_unique<testsupport::TempSettings>();
    m_dialogs = std::make_unique<testsupport::FakeDialogs>();
    m_window = std::make_unique<frmMain>();
    m_window->SetCommandLine(QString());
    m_window->Form_Load();
}

void TestEditorView::cleanup()
{
    m_window->blnModified = false;
    m_window.reset();
    QVERIFY2(m_dialogs->unexpected.isEmpty(), qPrintable(m_dialogs->unexpected.join(QLatin1Char('\n'))));
    m_dialogs.reset();
    m_settings.reset();
}

void TestEditorView::type(const QString &text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(m_window->txtMain, &event);
}

// A wrap switch, from the menu or the button, carries text and selection, keeps menu and
// button in agreement, marks the document modified and shows the matching scroll bars.
void TestEditorView::wrapSwitchCarriesSelection_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<bool>("startWrapped");
    QTest::newRow("menu, wrap off") << true << true;
    QTest::newRow("menu, wrap on") << true << false;
    QTest::newRow("button, wrap off") << false << true;
    QTest::newRow("button, wrap on") << false << false;
}

void TestEditorView::wrapSwitchCarriesSelection()
{
    QFETCH(bool, fromMenu);
    QFETCH(bool, startWrapped);
    QAction *button = m_window->ToolButton(QStringLiteral("wrap"));
    if (!startWrapped)
        m_window->menuWrap->trigger();
    QCOMPARE(m_window->WordWrap(), startWrapped);

    const QString text = QStringLiteral("0123456789あいうえおかきくけこ\r\n二行目");
    m_window->SetDocumentText(text);
    m_window->blnModified = false;
    QTextCursor cursor = m_window->ActiveBox()->textCursor();
    cursor.setPosition(10);
    cursor.setPosition(15, QTextCursor::KeepAnchor);
    m_window->ActiveBox()->setTextCursor(cursor);

    if (fromMenu)
        m_window->menuWrap->trigger();
    else
        button->trigger();

    const bool wrapped = !startWrapped;
    QCOMPARE(m_window->WordWrap(), wrapped);
    QCOMPARE(m_window->menuWrap->isChecked(), wrapped);
    QCOMPARE(button->isChecked(), wrapped);
    QCOMPARE(
        m_window->ActiveBox()->horizontalScrollBarPolicy(), wrapped ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
    QCOMPARE(m_window->ActiveBox()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(m_window->DocumentText(), text);
    QCOMPARE(m_window->ActiveBox()->textCursor().selectionStart(), 10);
    QCOMPARE(m_window->ActiveBox()->textCursor().selectionEnd(), 15);
    QCOMPARE(m_window->ActiveBox()->textCursor().selectedText(), QStringLiteral("あいうえお"));
    QVERIFY(m_window->blnModified);
    QCOMPARE(countPanel(), app::CountPanelText(app::CountText(text)));
}

// Every change of the text, typed or set, refreshes the counts and marks the document modified.
void TestEditorView::countsFollowEveryChange()
{
    QCOMPARE(countPanel(), QString());
    type(QStringLiteral("あ"));
    type(QStringLiteral("a"));
    QVERIFY(m_window->blnModified);
    QCOMPARE(countPanel(), QStringLiteral("3バイト, 2文字（全角: 1文字, 半角: 1文字）"));
    QTest::keyClick(m_window->txtMain, Qt::Key_Return);
    QCOMPARE(countPanel(), QStringLiteral("5バイト, 4文字（全角: 1文字, 半角: 3文字）"));
    QTest::keyClick(m_window->txtMain, Qt::Key_Backspace);
    QTest::keyClick(m_window->txtMain, Qt::Key_Backspace);
    QCOMPARE(countPanel(), QStringLiteral("2バイト, 1文字（全角: 1文字, 半角: 0文字）"));
    m_window->blnModified = false;
    m_window->SetDocumentText(QString());
    QVERIFY(m_window->blnModified);
    QCOMPARE(countPanel(), QStringLiteral("0バイト, 0文字（全角: 0文字, 半角: 0文字）"));
}

// A document opened with LF line breaks counts and leaves with LF; one with CR LF with CR LF,
// also after lines are added by typing.
void TestEditorView::lineBreakStyleKeptBesideTheView_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("afterReturn");
    QTest::addColumn<QString>("panel");
    QTest::newRow("LF") << QStringLiteral("ab\ncd\u00a0") << QStringLiteral("ab\n\ncd\u00a0")
                        << QStringLiteral("7バイト, 7文字（全角: 0文字, 半角: 7文字）");
    QTest::newRow("CR LF") << QStringLiteral("ab\r\ncd\u00a0") << QStringLiteral("ab\r\n\r\ncd\u00a0")
                           << QStringLiteral("9バイト, 9文字（全角: 0文字, 半角: 9文字）");
}

void TestEditorView::lineBreakStyleKeptBesideTheView()
{
    QFETCH(QString, text);
    QFETCH(QString, afterReturn);
    QFETCH(QString, panel);
    m_window->SetDocumentText(text);
    QCOMPARE(m_window->DocumentText(), text);
    QTextCursor cursor = m_window->ActiveBox()->textCursor();
    cursor.setPosition(3);
    m_window->ActiveBox()->setTextCursor(cursor);
    QTest::keyClick(m_window->txtMain, Qt::Key_Return);
    QCOMPARE(m_window->DocumentText(), afterReturn);
    QCOMPARE(countPanel(), panel);
}

// Cancel in the font dialog leaves the font, the settings and the font panel as they were.
void TestEditorView::fontDialogCancelledChangesNothing()
{
    const QFont before = m_window->txtMain->font();
    m_dialogs->answerFont(std::nullopt);
    m_window->menuFont->trigger();
    QCOMPARE(m_dialogs->fontRequests.size(), 1);
    QCOMPARE(m_dialogs->fontRequests[0].family, QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(m_dialogs->fontRequests[0].pointSize, 11.0);
    QCOMPARE(m_window->txtMain->font(), before);
    QCOMPARE(m_window->PanelText(QStringLiteral("font")), QStringLiteral("ＭＳ ゴシック 11pt"));
    const auto store = m_settings->reopened();
    QVERIFY(!store->Contains(QStringLiteral("Setting"), QStringLiteral("FontSize")));
    QVERIFY(!store->Contains(QStringLiteral("Setting"), QStringLiteral("FontName")));
}

// A confirmed font goes to the box, to the store at once, and to the panel in whole points.
void TestEditorView::fontChosenIsAppliedSavedAndShown()
{
    m_dialogs->answerFont(FontChoice { QStringLiteral("IPAGothic"), 10.5 });
    m_window->ToolButton(QStringLiteral("font"))->trigger();
    QCOMPARE(m_window->txtMain->font().family(), QStringLiteral("IPAGothic"));
    QCOMPARE(m_window->txtMain->font().pointSizeF(), 10.5);
    QCOMPARE(m_window->PanelText(QStringLiteral("font")), QStringLiteral("IPAGothic 10pt"));
    QVERIFY(!m_window->blnModified);
    const auto store = m_settings->reopened();
    QCOMPARE(
        store->GetSetting(QStringLiteral("Setting"), QStringLiteral("FontSize"), QString()), QStringLiteral("10.5"));
    QCOMPARE(store->GetSetting(QStringLiteral("Setting"), QStringLiteral("FontName"), QString()),
        QStringLiteral("IPAGothic"));
}

// A double click on the font panel opens the font dialog.
void TestEditorView::fontPanelDoubleClickOpensTheDialog()
{
    auto *panel = m_window->statusBar()->findChild<QWidget *>(QStringLiteral("font"));
    QVERIFY(panel);
    m_dialogs->answerFont(std::nullopt);
    QTest::mouseDClick(panel, Qt::LeftButton);
    QCOMPARE(m_dialogs->fontRequests.size(), 1);
}

// The window cannot be made smaller than 300 x 155 pixels.
void TestEditorView::windowKeepsItsMinimumSize()
{
    m_window->resize(120, 60);
    QCOMPARE(m_window->frameGeometry().size(), QSize(300, 155));
    m_window->resize(640, 480);
    QCOMPARE(m_window->size(), QSize(640, 480));
}

// The menus hold their items in order, separators named and placed, with their shortcuts.
void TestEditorView::menuBarLaidOutInOrder()
{
    const auto names = [](QMenu *menu) {
        QStringList list;
        for (QAction *action : menu->actions())
            list.append(action->menu() ? action->menu()->objectName() : action->objectName());
        return list;
    };
    QStringList titles;
    for (QAction *action : m_window->menuBar()->actions())
        titles.append(action->text());
    QCOMPARE(titles, (QStringList { "ﾌｧｲﾙ(&F)", "編集(&E)", "表示(&V)", "設定(&C)", "ﾍﾙﾌﾟ(&H)" }));
    QCOMPARE(names(m_window->mhdFile),
        (QStringList { "menuNew", "menuOpen", "mndmySep01", "menuSave", "menuSaveAs", "mndmySep02", "menuShortcut",
            "mndmySep03", "menuPrint", "menuPrintConfig", "mndmySep04", "mhdRecent", "mndmySep05", "menuQuit" }));
    QCOMPARE(names(m_window->mhdEdit),
        (QStringList { "menuCut", "menuCopy", "menuPaste", "mndmySep06", "menuGoogle", "menuWikipedia", "mndmySep07",
            "menuSearch", "menuReplace" }));
    QCOMPARE(names(m_window->mhdView), (QStringList { "menuFont", "mndmySep08", "menuWrap" }));
    QCOMPARE(names(m_window->mhdConfig), QStringList { "menuOption" });
    QCOMPARE(names(m_window->mhdHelp), (QStringList { "menuHelp", "menuVersion" }));

    const QList<std::pair<QAction *, QString>> shortcuts = {
        { m_window->menuNew, "Ctrl+N" },
        { m_window->menuOpen, "Ctrl+O" },
        { m_window->menuSave, "Ctrl+S" },
        { m_window->menuSaveAs, "F12" },
        { m_window->menuShortcut, "Ctrl+L" },
        { m_window->menuPrint, "Ctrl+P" },
        { m_window->menuPrintConfig, "" },
        { m_window->menuQuit, "" },
        { m_window->menuCut, "Ctrl+X" },
        { m_window->menuCopy, "Ctrl+C" },
        { m_window->menuPaste, "Ctrl+V" },
        { m_window->menuGoogle, "Ctrl+G" },
        { m_window->menuWikipedia, "Ctrl+W" },
        { m_window->menuSearch, "Ctrl+F" },
        { m_window->menuReplace, "Ctrl+H" },
        { m_window->menuFont, "" },
        { m_window->menuWrap, "Ctrl+R" },
        { m_window->menuOption, "" },
        { m_window->menuHelp, "F1" },
        { m_window->menuVersion, "" },
    };
    for (const auto &[action, shortcut] : shortcuts)
        QCOMPARE(action->shortcut().toString(), shortcut);
    QCOMPARE(m_window->menuShortcut->text(), QStringLiteral("ﾛｰｶﾙｼｮｰﾄｶｯﾄを作成(&L)..."));
    QCOMPARE(m_window->mhdRecent->title(), QStringLiteral("最近開いたﾌｧｲﾙ"));
    QVERIFY(m_window->menuWrap->isCheckable());
}

// Twenty toolbar places in order: fourteen buttons with their pictures and six separators.
void TestEditorView::toolbarLaidOutInOrder()
{
    QStringList keys;
    for (QAction *action : m_window->toolMain->actions()) {
        if (action->isSeparator()) {
            keys.append(action->property("description").toString());
            continue;
        }
        keys.append(action->property("key").toString());
        QVERIFY2(!action->icon().isNull(), qPrintable(keys.last()));
        QVERIFY(!action->toolTip().isEmpty());
    }
    QCOMPARE(keys,
        (QStringList { "new", "open", "save", "print", "(区切り線)", "cut", "copy", "paste", "区切り線", "google",
            "wikipedia", "(区切り線)", "search", "(区切り線)", "font", "wrap", "(区切り線)", "config", "(区切り線)",
            "help" }));
    QAction *google = m_window->ToolButton(QStringLiteral("google"));
    QCOMPARE(google->property("description").toString(), QStringLiteral("Google検索"));
    QCOMPARE(google->toolTip(), QStringLiteral("Google日本で検索"));
    QVERIFY(m_window->ToolButton(QStringLiteral("wrap"))->isCheckable());
    QVERIFY(!m_window->ToolButton(QStringLiteral("search"))->isCheckable());
}

// A toolbar key runs its command; an unknown key does nothing.
void TestEditorView::toolbarDispatchesByKey()
{
    modPublic::blnReplaceMode = 1;
    m_window->toolMain_ButtonClick(QStringLiteral("search"));
    QCOMPARE(modPublic::blnReplaceMode, 0);

    m_dialogs->answerFont(std::nullopt);
    m_window->toolMain_ButtonClick(QStringLiteral("font"));
    QCOMPARE(m_dialogs->fontRequests.size(), 1);

    m_window->SetDocumentText(QStringLiteral("残る"));
    m_window->blnModified = false;
    m_window->toolMain_ButtonClick(QStringLiteral("unknown"));
    m_window->toolMain_ButtonClick(QStringLiteral("New"));
    QCOMPARE(m_window->DocumentText(), QStringLiteral("残る"));
    m_window->toolMain_ButtonClick(QStringLiteral("new"));
    QCOMPARE(m_window->DocumentText(), QString());
    QVERIFY(!m_window->blnModified);
}

QTEST_MAIN(TestEditorView)
#include "tst_editorview.moc"
