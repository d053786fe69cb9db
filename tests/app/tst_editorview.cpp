#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

class TestEditorView : public testsupport::WindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init() { start(); }
    void cleanup() { finish(); }

    // A wrap switch, from the menu or the button, carries text and selection, keeps menu and
    // button in agreement, marks the document modified and shows the matching scroll bars.
    void wrapSwitchCarriesSelection_data()
    {
        QTest::addColumn<bool>("fromMenu");
        QTest::addColumn<bool>("wrap");
        QTest::newRow("menu, wrap off") << true << false;
        QTest::newRow("menu, wrap on") << true << true;
        QTest::newRow("button, wrap off") << false << false;
        QTest::newRow("button, wrap on") << false << true;
    }
    void wrapSwitchCarriesSelection()
    {
        QFETCH(bool, fromMenu);
        QFETCH(bool, wrap);
        QAction *button = m_window->ToolButton(QStringLiteral("wrap"));
        if (wrap)
            m_window->menuWrap->trigger();
        QCOMPARE(m_window->WordWrap(), !wrap);
        const QString text = QStringLiteral("0123456789あいうえおかきくけこ\r\n二行目");
        m_window->SetDocumentText(text);
        m_window->blnModified = false;
        select(10, 5);

        (fromMenu ? m_window->menuWrap : button)->trigger();

        QCOMPARE(m_window->WordWrap(), wrap);
        QCOMPARE(m_window->menuWrap->isChecked(), wrap);
        QCOMPARE(button->isChecked(), wrap);
        QPlainTextEdit *box = m_window->ActiveBox();
        QCOMPARE(box->horizontalScrollBarPolicy(), wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
        QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(m_window->DocumentText(), text);
        QCOMPARE(box->textCursor().selectionStart(), 10);
        QCOMPARE(box->textCursor().selectedText(), QStringLiteral("あいうえお"));
        QVERIFY(m_window->blnModified);
        QCOMPARE(countPanel(), app::CountPanelText(app::CountText(text)));
    }

    // A document opened with LF line breaks counts and leaves with LF, one with CR LF with CR LF,
    // also after lines are added by typing; U+00A0 leaves as it came. What is typed, through
    // keys or the input method, refreshes the counts and marks the document modified.
    void lineBreakStyleKeptBesideTheView_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("panel");
        QTest::newRow("LF") << QStringLiteral("ab\ncd\u00a0") << QStringLiteral("ab\n\nあcd\u00a0")
                            << QStringLiteral("9バイト, 8文字（全角: 1文字, 半角: 7文字）");
        QTest::newRow("CR LF") << QStringLiteral("ab\r\ncd\u00a0") << QStringLiteral("ab\r\n\r\nあcd\u00a0")
                               << QStringLiteral("11バイト, 10文字（全角: 1文字, 半角: 9文字）");
    }
    void lineBreakStyleKeptBesideTheView()
    {
        QFETCH(QString, text);
        m_window->SetDocumentText(text);
        QCOMPARE(m_window->DocumentText(), text);
        m_window->blnModified = false;
        select(3, 0);
        QTest::keyClick(m_window->txtMain, Qt::Key_Return);
        QInputMethodEvent event;
        event.setCommitString(QStringLiteral("あ"));
        QApplication::sendEvent(m_window->txtMain, &event);
        QTEST(m_window->DocumentText(), "typed");
        QTEST(countPanel(), "panel");
        QVERIFY(m_window->blnModified);
    }

    // The font dialog, from the menu, the button or a double click on the font panel, starts
    // from the current font; a confirmed font goes to the box, to the store at once and to the
    // panel in whole points, Cancel changes nothing.
    void fontDialog_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("chosen");
        QTest::newRow("menu, cancelled") << "menu" << false;
        QTest::newRow("button, chosen") << "button" << true;
        QTest::newRow("panel, chosen") << "panel" << true;
    }
    void fontDialog()
    {
        QFETCH(QString, from);
        QFETCH(bool, chosen);
        const QFont before = m_window->txtMain->font();
        m_dialogs->answerFont(
            chosen ? std::optional(platform::FontChoice { QStringLiteral("IPAGothic"), 10.5 }) : std::nullopt);
        if (from == QLatin1String("menu"))
            m_window->menuFont->trigger();
        else if (from == QLatin1String("button"))
            m_window->ToolButton(QStringLiteral("font"))->trigger();
        else
            QTest::mouseDClick(m_window->statusBar()->findChild<QWidget *>(QStringLiteral("font")), Qt::LeftButton);

        QCOMPARE(m_dialogs->fontRequests.size(), 1);
        QCOMPARE(m_dialogs->fontRequests[0].family, QStringLiteral("ＭＳ ゴシック"));
        QCOMPARE(m_dialogs->fontRequests[0].pointSize, 11.0);
        QVERIFY(!m_window->blnModified);
        const auto store = m_settings->reopened();
        const QFont font = m_window->txtMain->font();
        QCOMPARE(
            QStringLiteral("%1 %2 | %3 | stored %4 %5")
                .arg(font.family(), QString::number(font.pointSizeF()), m_window->PanelText(QStringLiteral("font")),
                    store->GetSetting(QStringLiteral("Setting"), QStringLiteral("FontName"), QStringLiteral("-")),
                    store->GetSetting(QStringLiteral("Setting"), QStringLiteral("FontSize"), QStringLiteral("-"))),
            chosen ? QStringLiteral("IPAGothic 10.5 | IPAGothic 10pt | stored IPAGothic 10.5")
                   : before.family() + QStringLiteral(" 11 | ＭＳ ゴシック 11pt | stored - -"));
    }

    // The window cannot be made smaller than 300 x 155 pixels.
    void windowKeepsItsMinimumSize()
    {
        m_window->resize(120, 60);
        QCOMPARE(m_window->frameGeometry().size(), QSize(300, 155));
        m_window->resize(640, 480);
        QCOMPARE(m_window->size(), QSize(640, 480));
    }

    // The menus hold their items in order, separators named and placed; the toolbar holds twenty
    // places in order, fourteen buttons with their pictures and tips and six separators; wrap is
    // a switch in both.
    void menusAndToolbarLaidOutInOrder()
    {
        QStringList menus, tools;
        for (QAction *title : m_window->menuBar()->actions()) {
            menus << title->text();
            for (QAction *action : title->menu()->actions())
                menus << QStringLiteral("  ") + (action->menu() ? action->menu()->title() : action->objectName());
        }
        QCOMPARE(menus,
            (QStringList { "ﾌｧｲﾙ(&F)", "  menuNew", "  menuOpen", "  mndmySep01", "  menuSave", "  menuSaveAs",
                "  mndmySep02", "  menuShortcut", "  mndmySep03", "  menuPrint", "  menuPrintConfig", "  mndmySep04",
                "  最近開いたﾌｧｲﾙ", "  mndmySep05", "  menuQuit", "編集(&E)", "  menuCut", "  menuCopy", "  menuPaste",
                "  mndmySep06", "  menuGoogle", "  menuWikipedia", "  mndmySep07", "  menuSearch", "  menuReplace",
                "表示(&V)", "  menuFont", "  mndmySep08", "  menuWrap", "設定(&C)", "  menuOption", "ﾍﾙﾌﾟ(&H)",
                "  menuHelp", "  menuVersion" }));
        for (QAction *action : m_window->toolMain->actions()) {
            tools << action->property(action->isSeparator() ? "description" : "key").toString();
            QVERIFY(action->isSeparator() || (!action->icon().isNull() && !action->toolTip().isEmpty()));
        }
        QCOMPARE(tools,
            (QStringList { "new", "open", "save", "print", "(区切り線)", "cut", "copy", "paste", "区切り線", "google",
                "wikipedia", "(区切り線)", "search", "(区切り線)", "font", "wrap", "(区切り線)", "config", "(区切り線)",
                "help" }));
        QVERIFY(m_window->menuWrap->isCheckable() && m_window->ToolButton(QStringLiteral("wrap"))->isCheckable());
    }

private:
    QString countPanel() const { return m_window->PanelText(QStringLiteral("count")); }
};

QTEST_MAIN(TestEditorView)
#include "tst_editorview.moc"
