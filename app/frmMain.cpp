#include "frmMain.h"

#include "app/draftstore.h"
#include "app/paintreport.h"
#include "app/statuspanel.h"
#include "app/windowgeometry.h"
#include "platform/twips.h"
#include "protocol/inetConn.h"
#include "protocol/modPublic.h"
#include "resources/resources.h"

#include <QCoreApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QThreadPool>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// The window as designed, in twips: its client area (menu bar aside) and where that sits on
// the screen, and the editing box's margins to the client area's sides.
constexpr double DESIGN_CLIENT_WIDTH = 9315;
constexpr double DESIGN_CLIENT_HEIGHT = 6315;
constexpr double DESIGN_CLIENT_LEFT = 2355;
constexpr double DESIGN_CLIENT_TOP = 2400;
constexpr double DESIGN_BOX_LEFT = 30;
constexpr double DESIGN_BOX_RIGHT = DESIGN_CLIENT_WIDTH - 30 - 9270;

// The editor's default face does not exist outside Japanese Windows; a Japanese gothic face
// of the same kind stands in for it.
void InstallFontSubstitutes()
{
    const QStringList gothic = { QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"),
        QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("VL Gothic"), QStringLiteral("TakaoGothic") };
    if (QFont::substitutes(app::DEFAULT_FONT_NAME).isEmpty())
        QFont::insertSubstitutions(app::DEFAULT_FONT_NAME, gothic);
    if (QFont::substitutes(QStringLiteral("MS Gothic")).isEmpty())
        QFont::insertSubstitutions(QStringLiteral("MS Gothic"), gothic);
}

QAction *AddSeparator(QMenu *menu, const char *name)
{
    QAction *separator = menu->addSeparator();
    separator->setObjectName(QLatin1String(name));
    return separator;
}

} // namespace

StatusPanel::StatusPanel(const QString &key, QWidget *parent)
    : QLabel(parent)
{
    setObjectName(key);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setTextFormat(Qt::PlainText);
}

void StatusPanel::mouseDoubleClickEvent(QMouseEvent *event)
{
    QLabel::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

frmMain::frmMain(QWidget *parent)
    : QMainWindow(parent)
    , document(this)
    , m_strCommandLine(QCoreApplication::arguments().mid(1).join(QLatin1Char(' ')))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Lumeno"));
    QIcon icon = resources::Picture(QStringLiteral("app/lumeno.png"));
    for (const char *size : { "16", "32", "256" })
        icon.addFile(QStringLiteral(":/app/lumeno-%1.png").arg(QLatin1String(size)));
    setWindowIcon(icon);
    InstallFontSubstitutes();

    inetConn = new ::inetConn(this);
    modPublic::setTransferControl(inetConn);
    StartReadingCommandLine();

    ConnectDrafts();
    CreateEditor();
    // The command line's request takes its body now if its connection was not ready before.
    inetConn->DeliverArrived();
    ConnectDocument();
    AcceptDrops();
    CreateMenus();
    RouteEditKeys();
    CreateToolbar();
    CreateStatusBar();
    PlaceAsDesigned();
}

frmMain::~frmMain()
{
    modPublic::setTransferControl(nullptr);
}

void frmMain::CreateEditor()
{
    const app::TwipsPerPixel scale = app::ScreenTwipsPerPixel(screen());
    auto *client = new QWidget(this);
    auto *layout = new QVBoxLayout(client);
    // The box keeps the designed margins to the window's sides whatever the window's size.
    layout->setContentsMargins(
        platform::TwipsToPixels(DESIGN_BOX_LEFT, scale.x), 1, platform::TwipsToPixels(DESIGN_BOX_RIGHT, scale.x), 1);
    txtMain = new QPlainTextEdit(client);
    txtMain->setObjectName(QStringLiteral("txtMain"));
    txtMain->setMinimumSize(0, 0);
    layout->addWidget(txtMain);
    setCentralWidget(client);
    // The box has the focus from the start, also when the window is first activated while an
    // open keeps it disabled.
    txtMain->setFocus();

    // The selection stays visible while the find dialog has the focus.
    QPalette palette = txtMain->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(
        QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Active, QPalette::HighlightedText));
    txtMain->setPalette(palette);

    m_counter.Reset(*txtMain->document());
    connect(txtMain->document(), &QTextDocument::contentsChange, this, &frmMain::txtMain_ContentsChange);
    connect(txtMain, &QPlainTextEdit::textChanged, this, &frmMain::txtMain_Change);
    ShowWrapState(true);
    app::ReportPaintsIfAsked(txtMain);
}

void frmMain::CreateMenus()
{
    const auto item = [this](QMenu *menu, QAction *&action, const char *name, const QString &caption,
                          const QKeySequence &shortcut, void (frmMain::*handler)()) {
        action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, handler);
    };
    const QKeySequence none;

    mhdFile = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    mhdFile->setObjectName(QStringLiteral("mhdFile"));
    connect(mhdFile, &QMenu::aboutToShow, this, &frmMain::mhdFile_Click);
    item(mhdFile, menuNew, "menuNew", QStringLiteral("新規作成(&N)"), QKeySequence(Qt::CTRL | Qt::Key_N),
        &frmMain::menuNew_Click);
    item(mhdFile, menuOpen, "menuOpen", QStringLiteral("開く(&O)..."), QKeySequence(Qt::CTRL | Qt::Key_O),
        &frmMain::menuOpen_Click);
    AddSeparator(mhdFile, "mndmySep01");
    item(mhdFile, menuSave, "menuSave", QStringLiteral("上書き保存(&S)"), QKeySequence(Qt::CTRL | Qt::Key_S),
        &frmMain::menuSave_Click);
    item(mhdFile, menuSaveAs, "menuSaveAs", QStringLiteral("名前を付けて保存(&W)..."), QKeySequence(Qt::Key_F12),
        &frmMain::menuSaveAs_Click);
    // Enabled when the File menu opens on a file of a server that keeps history.
    item(mhdFile, menuVersions, "menuVersions", QStringLiteral("以前のバージョン(&V)..."), none,
        &frmMain::menuVersions_Click);
    menuVersions->setEnabled(false);
    AddSeparator(mhdFile, "mndmySep02");
    item(mhdFile, menuShortcut, "menuShortcut", QStringLiteral("ﾛｰｶﾙｼｮｰﾄｶｯﾄを作成(&L)..."),
        QKeySequence(Qt::CTRL | Qt::Key_L), &frmMain::menuShortcut_Click);
    // Greyed in the open menu only: Ctrl+L always answers, with a message when no file is open.
    connect(mhdFile, &QMenu::aboutToHide, menuShortcut, [this] { menuShortcut->setEnabled(true); });
    AddSeparator(mhdFile, "mndmySep03");
    item(mhdFile, menuPrint, "menuPrint", QStringLiteral("印刷(&P)..."), QKeySequence(Qt::CTRL | Qt::Key_P),
        &frmMain::menuPrint_Click);
    item(mhdFile, menuPrintConfig, "menuPrintConfig", QStringLiteral("ﾌﾟﾘﾝﾀの設定..."), none,
        &frmMain::menuPrintConfig_Click);
    AddSeparator(mhdFile, "mndmySep04");
    mhdRecent = mhdFile->addMenu(QStringLiteral("最近開いたﾌｧｲﾙ"));
    mhdRecent->setObjectName(QStringLiteral("mhdRecent"));
    QAction *none0 = mhdRecent->addAction(QStringLiteral("(なし)"));
    none0->setObjectName(QStringLiteral("menuRecentFiles"));
    none0->setProperty("index", 0);
    none0->setEnabled(false);
    connect(none0, &QAction::triggered, this, [this] { menuRecentFiles_Click(0); });
    menuRecentFiles = { none0 };
    AddSeparator(mhdFile, "mndmySep05");
    item(mhdFile, menuQuit, "menuQuit", QStringLiteral("終了(&Q)"), none, &frmMain::menuQuit_Click);

    mhdEdit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    mhdEdit->setObjectName(QStringLiteral("mhdEdit"));
    item(mhdEdit, menuCut, "menuCut", QStringLiteral("切り取り(&Y)"), QKeySequence(Qt::CTRL | Qt::Key_X),
        &frmMain::menuCut_Click);
    item(mhdEdit, menuCopy, "menuCopy", QStringLiteral("ｺﾋﾟｰ(&C)"), QKeySequence(Qt::CTRL | Qt::Key_C),
        &frmMain::menuCopy_Click);
    item(mhdEdit, menuPaste, "menuPaste", QStringLiteral("貼り付け(&P)"), QKeySequence(Qt::CTRL | Qt::Key_V),
        &frmMain::menuPaste_Click);
    AddSeparator(mhdEdit, "mndmySep06");
    item(mhdEdit, menuGoogle, "menuGoogle", QStringLiteral("Google日本で検索(&G)..."),
        QKeySequence(Qt::CTRL | Qt::Key_G), &frmMain::menuGoogle_Click);
    item(mhdEdit, menuWikipedia, "menuWikipedia", QStringLiteral("Wikipedia日本語版で検索(&W)..."),
        QKeySequence(Qt::CTRL | Qt::Key_W), &frmMain::menuWikipedia_Click);
    AddSeparator(mhdEdit, "mndmySep07");
    item(mhdEdit, menuSearch, "menuSearch", QStringLiteral("検索(&S)..."), QKeySequence(Qt::CTRL | Qt::Key_F),
        &frmMain::menuSearch_Click);
    item(mhdEdit, menuReplace, "menuReplace", QStringLiteral("置換(&R)..."), QKeySequence(Qt::CTRL | Qt::Key_H),
        &frmMain::menuReplace_Click);

    mhdView = menuBar()->addMenu(QStringLiteral("表示(&V)"));
    mhdView->setObjectName(QStringLiteral("mhdView"));
    item(mhdView, menuFont, "menuFont", QStringLiteral("ﾌｫﾝﾄ(&F)..."), none, &frmMain::menuFont_Click);
    AddSeparator(mhdView, "mndmySep08");
    item(mhdView, menuWrap, "menuWrap", QStringLiteral("右端で折り返し"), QKeySequence(Qt::CTRL | Qt::Key_R),
        &frmMain::menuWrap_Click);
    menuWrap->setCheckable(true);
    menuWrap->setChecked(true);

    mhdConfig = menuBar()->addMenu(QStringLiteral("設定(&C)"));
    mhdConfig->setObjectName(QStringLiteral("mhdConfig"));
    item(mhdConfig, menuOption, "menuOption", QStringLiteral("ｻｰﾊﾞ設定(&S)..."), none, &frmMain::menuOption_Click);

    mhdHelp = menuBar()->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    mhdHelp->setObjectName(QStringLiteral("mhdHelp"));
    item(mhdHelp, menuHelp, "menuHelp", QStringLiteral("ﾍﾙﾌﾟ(&P)..."), QKeySequence(Qt::Key_F1),
        &frmMain::menuHelp_Click);
    item(mhdHelp, menuVersion, "menuVersion", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&V)..."), none, &frmMain::menuVersion_Click);
}

void frmMain::CreateToolbar()
{
    toolMain = addToolBar(QStringLiteral("toolMain"));
    toolMain->setObjectName(QStringLiteral("toolMain"));
    toolMain->setMovable(false);
    toolMain->setFloatable(false);
    toolMain->setIconSize(QSize(16, 16));
    toolMain->toggleViewAction()->setEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);

    for (const ToolbarButton &button : ToolbarButtons()) {
        const QString description = QString::fromUtf8(button.description);
        if (!button.key) {
            toolMain->addSeparator()->setProperty("description", description);
            continue;
        }
        const QString key = QLatin1String(button.key);
        QAction *action
            = toolMain->addAction(resources::Picture(QStringLiteral("toolbar/%1.png").arg(key)), description);
        action->setObjectName(key);
        action->setProperty("key", key);
        action->setProperty("description", description);
        action->setToolTip(QString::fromUtf8(button.toolTip));
        // The wrap button shows the state; its command reads it after the click has changed it.
        action->setCheckable(key == QLatin1String("wrap"));
        action->setChecked(action->isCheckable());
        connect(action, &QAction::triggered, this, [this, key] { toolMain_ButtonClick(key); });
    }
}

std::span<const frmMain::ToolbarButton> frmMain::ToolbarButtons()
{
    static const ToolbarButton buttons[] = {
        { "new", "新規作成", "新規作成", &frmMain::menuNew_Click },
        { "open", "開く", "開く", &frmMain::menuOpen_Click },
        { "save", "上書き保存", "上書き保存", &frmMain::menuSave_Click },
        { "print", "印刷", "印刷", &frmMain::PrintDocument },
        { nullptr, "(区切り線)", nullptr, nullptr },
        { "cut", "切り取り", "切り取り", &frmMain::CutText },
        { "copy", "コピー", "コピー", &frmMain::CopyText },
        { "paste", "貼り付け", "貼り付け", &frmMain::PasteText },
        { nullptr, "区切り線", nullptr, nullptr },
        { "google", "Google検索", "Google日本で検索", &frmMain::menuGoogle_Click },
        { "wikipedia", "Wikipedia検索", "Wikipedia日本語版で検索", &frmMain::menuWikipedia_Click },
        { nullptr, "(区切り線)", nullptr, nullptr },
        { "search", "検索", "検索", &frmMain::menuSearch_Click },
        { nullptr, "(区切り線)", nullptr, nullptr },
        { "font", "フォント", "フォント", &frmMain::ChooseEditorFont },
        { "wrap", "右端で折り返し", "右端で折り返し", &frmMain::toolWrap_Click },
        { nullptr, "(区切り線)", nullptr, nullptr },
        { "config", "設定", "設定", &frmMain::ShowServerSettings },
        { nullptr, "(区切り線)", nullptr, nullptr },
        { "help", "ヘルプ", "ヘルプ", &frmMain::ShowHelp },
    };
    return buttons;
}

void frmMain::CreateStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("statMain"));
    m_panFileName = new StatusPanel(QStringLiteral("filename"), statusBar());
    m_panFileName->setText(QStringLiteral("(No File)"));
    m_panFont = new StatusPanel(QStringLiteral("font"), statusBar());
    m_panCount = new StatusPanel(QStringLiteral("count"), statusBar());
    auto *panEncoding = new StatusPanel(QStringLiteral("encoding"), statusBar());
    panEncoding->setText(textencoding::EncodingName(document.encoding));
    statusBar()->addWidget(m_panFileName, 2);
    statusBar()->addWidget(m_panFont, 1);
    statusBar()->addWidget(m_panCount, 3);
    statusBar()->addWidget(panEncoding);
    connect(m_panFont, &StatusPanel::doubleClicked, this, &frmMain::ChooseEditorFont);
}

void frmMain::PlaceAsDesigned()
{
    const app::TwipsPerPixel scale = app::ScreenTwipsPerPixel(screen());
    const QRect client
        = app::ToPixels({ DESIGN_CLIENT_LEFT, DESIGN_CLIENT_TOP, DESIGN_CLIENT_WIDTH, DESIGN_CLIENT_HEIGHT }, scale);
    // The designed client area lies below the menu bar.
    setGeometry(client.adjusted(0, 0, 0, menuBar()->sizeHint().height()));
    UpdateMinimumSize();
}

QAction *frmMain::ToolButton(const QString &key) const
{
    for (QAction *action : toolMain->actions())
        if (action->property("key").toString() == key)
            return action;
    return nullptr;
}

bool frmMain::event(QEvent *event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    else if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        AdoptFrame();
    return handled;
}

void frmMain::closeEvent(QCloseEvent *event)
{
    int Cancel = 0;
    Form_Unload(Cancel);
    if (Cancel != 0)
        event->ignore();
    else
        event->accept();
}
