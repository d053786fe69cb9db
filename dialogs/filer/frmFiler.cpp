#include "dialogs/filer/frmFiler.h"

#include "dialogs/filer/filerrules.h"
#include "dialogs/filer/pickview.h"
#include "platform/busyscope.h"
#include "platform/cp932.h"
#include "platform/dialogs.h"
#include "platform/twips.h"
#include "protocol/modPublic.h"
#include "resources/resources.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString kRoot = QStringLiteral("data");
const QString kFolderListFailed = QStringLiteral("サーバからのフォルダ情報の取得に失敗しました。");
const QString kFileListFailed = QStringLiteral("サーバからのファイル情報の取得に失敗しました。");
using modPublic::kNG;

QString NodeKey(const QTreeWidgetItem *node)
{
    return node ? node->data(0, Qt::UserRole).toString() : QString();
}

} // namespace

frmFiler::frmFiler(QWidget *owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("frmFiler"));
    m_folderIcon = resources::Picture(QStringLiteral("filer/folder-closed.png"));
    m_folderIcon.addFile(QStringLiteral(":/filer/folder-open.png"), {}, QIcon::Selected);
    BuildControls();
    Form_Load();
}

void frmFiler::BuildControls()
{
    const double twipsPerPixel = platform::TwipsPerPixelAt(logicalDpiX());
    trviewFolders = new PickView(this);
    trviewFolders->setObjectName(QStringLiteral("trviewFolders"));
    trviewFolders->setHeaderHidden(true);
    trviewFolders->setIconSize(QSize(16, 16));

    lsviewFiles = new PickView(this);
    lsviewFiles->setObjectName(QStringLiteral("lsviewFiles"));
    lsviewFiles->setRootIsDecorated(false);
    lsviewFiles->setUniformRowHeights(true);
    lsviewFiles->setHeaderLabels(
        { QStringLiteral("ファイル名"), QStringLiteral("最終更新日時"), QStringLiteral("サイズ") });
    lsviewFiles->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    lsviewFiles->header()->setStretchLastSection(false);
    const int columnTwips[] = { 2822, 4233, 2540 };
    for (int column = 0; column < 3; ++column)
        lsviewFiles->setColumnWidth(column, platform::TwipsToPixels(columnTwips[column], twipsPerPixel));

    auto *splitter = new QSplitter(this);
    splitter->addWidget(trviewFolders);
    splitter->addWidget(lsviewFiles);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({ platform::TwipsToPixels(3000, twipsPerPixel), platform::TwipsToPixels(9900, twipsPerPixel) });

    txtName = new QLineEdit(this);
    txtName->setObjectName(QStringLiteral("txtName"));
    auto *labName = new QLabel(QStringLiteral("ﾌｧｲﾙ名(&N)："), this);
    labName->setBuddy(txtName);
    // The encoding the saved copy is written in.
    cboEncoding = new QComboBox(this);
    cboEncoding->setObjectName(QStringLiteral("cboEncoding"));
    for (const textencoding::TextEncoding encoding : textencoding::kEncodings)
        cboEncoding->addItem(textencoding::EncodingName(encoding), static_cast<int>(encoding));
    labEncoding = new QLabel(QStringLiteral("文字ｺｰﾄﾞ(&E)："), this);
    labEncoding->setBuddy(cboEncoding);
    cmdOK = new QPushButton(this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ(&C)"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto *top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(BuildToolbar());
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(labName);
    bottom->addWidget(txtName, 1);
    bottom->addWidget(labEncoding);
    bottom->addWidget(cboEncoding);
    bottom->addWidget(cmdOK);
    bottom->addWidget(cmdCancel);
    auto *form = new QVBoxLayout(this);
    form->addLayout(top);
    form->addWidget(splitter, 1);
    form->addLayout(bottom);
    resize(platform::TwipsToPixels(13500, twipsPerPixel), platform::TwipsToPixels(7200, twipsPerPixel));

    connect(trviewFolders, &PickView::picked, this, &frmFiler::trviewFolders_NodeClick);
    connect(lsviewFiles, &PickView::picked, this, &frmFiler::lsviewFiles_ItemClick);
    connect(cmdOK, &QPushButton::clicked, this, &frmFiler::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFiler::reject);
}

void frmFiler::Form_Load()
{
    const bool saveMode = IsSaveMode();
    setWindowTitle(saveMode ? QStringLiteral("ファイルの保存") : QStringLiteral("ファイルを開く"));
    txtName->setEnabled(saveMode);
    labEncoding->setVisible(saveMode);
    cboEncoding->setVisible(saveMode);
    cboEncoding->setCurrentIndex(cboEncoding->findData(static_cast<int>(modPublic::encFilerEncoding)));
    cmdOK->setText(saveMode ? QStringLiteral("保存(&S)") : QStringLiteral("開く(&O)"));
    ResetTree();
    trviewFolders->setCurrentItem(m_nodes.value(kRoot));
    ShowFolder(kRoot);
    trviewFolders->expandItem(m_nodes.value(kRoot));
    {
        platform::BusyScope busy(*this, m_busy);
        m_blnHistory = modPublic::LearnServerHistory();
    }
    EnableToolButtons(0);
}

bool frmFiler::IsSaveMode() const
{
    return modPublic::lngFilerMode == 1;
}

void frmFiler::ResetTree()
{
    trviewFolders->clear();
    m_nodes.clear();
    AddFolderNodes(QString(), { kRoot });
}

void frmFiler::AddFolderNodes(const QString &path, const QStringList &names)
{
    QTreeWidgetItem *parent = m_nodes.value(path);
    for (const QString &name : names) {
        const QString key = path.isEmpty() ? name : path + QLatin1Char('/') + name;
        // An empty line is no folder, and a name sent twice would make two nodes of one key.
        if (name.isEmpty() || m_nodes.contains(key))
            continue;
        auto *node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(trviewFolders);
        node->setText(0, name);
        node->setData(0, Qt::UserRole, key);
        node->setIcon(0, m_folderIcon);
        m_nodes.insert(key, node);
    }
}

void frmFiler::ShowFolder(const QString &path)
{
    QTreeWidgetItem *node = m_nodes.value(path);
    if (node && node->childCount() == 0) {
        const std::optional<QStringList> folders = Listing(&modPublic::ListRemoteFolders, path);
        if (!folders)
            platform::ShowError(this, kFolderListFailed);
        else
            AddFolderNodes(path, *folders);
    }
    lsviewFiles->clear();
    // A name picked in another folder must not be opened from this one.
    if (!IsSaveMode())
        txtName->clear();
    const std::optional<QStringList> files = Listing(&modPublic::ListRemoteFiles, path);
    if (!files)
        platform::ShowError(this, kFileListFailed);
    else
        FillFileList(*files);
}

void frmFiler::FillFileList(const QStringList &lines)
{
    for (const QString &line : lines) {
        const std::optional<filer::FileEntry> entry = filer::ParseFileLine(line);
        if (!entry)
            continue;
        auto *row
            = new QTreeWidgetItem(lsviewFiles, { entry->name, entry->modified, filer::FormatFileSize(entry->size) });
        row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
}

void frmFiler::RebuildFolderTree(const QString &path)
{
    ResetTree();
    QTreeWidgetItem *listed = nullptr;
    for (const QString &level : filer::AccumulatedPaths(path)) {
        QTreeWidgetItem *node = m_nodes.value(level);
        if (!node)
            break; // the level above could not be listed: stay with the deepest folder reached
        ShowFolder(level);
        trviewFolders->scrollToItem(node); // expands its ancestors
        listed = node;
    }
    // The listed folder is the selected one, so that the toolbar acts on what the list shows.
    trviewFolders->setCurrentItem(listed);
    EnableToolButtons(listed ? 1 : 0);
}

void frmFiler::trviewFolders_NodeClick(QTreeWidgetItem *node)
{
    ShowFolder(NodeKey(node));
    EnableToolButtons(1);
}

void frmFiler::lsviewFiles_ItemClick(QTreeWidgetItem *item)
{
    txtName->setText(item->text(0));
    EnableToolButtons(3);
}

void frmFiler::cmdOK_Click()
{
    const QString name = txtName->text();
    if (name.isEmpty()) {
        platform::ShowError(this,
            IsSaveMode() ? QStringLiteral("ファイル名を入力してください。")
                         : QStringLiteral("ファイルを選択してください。"));
        return;
    }
    if (!NameTravels(name))
        return; // the name stays in the field for the user to mend
    const bool listed
        = IsSaveMode() && !lsviewFiles->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive, 0).isEmpty();
    if (listed && !platform::AskYesNo(this, filer::kReplaceQuestion))
        return; // the dialog stays open for another name
    modPublic::blnFilerReplaces = listed;
    modPublic::blnFilerOK = true;
    modPublic::strCurrentFolder = SelectedFolderPath();
    modPublic::strCurrentFile = name;
    if (IsSaveMode())
        modPublic::encFilerEncoding = static_cast<textencoding::TextEncoding>(cboEncoding->currentData().toInt());
    accept();
}

void frmFiler::closeEvent(QCloseEvent *event)
{
    // The close box stays shut while a request is out: its reply still has a window to land in.
    if (m_busy > 0)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

bool frmFiler::NameTravels(const QString &name)
{
    if (cp932::CanEncode(name))
        return true;
    platform::ShowError(
        this, QStringLiteral("名前にShift-JISで使用できない文字が含まれています。\r\n別の文字を使用してください。"));
    return false;
}

QString frmFiler::AskName(const QString &prompt, const QString &initialText)
{
    QString name = platform::dialogs().InputBox(this, prompt, initialText);
    while (!name.isEmpty() && !NameTravels(name))
        name = platform::dialogs().InputBox(this, prompt, name);
    return name;
}

QString frmFiler::SelectedFolderPath() const
{
    const QList<QTreeWidgetItem *> selected = trviewFolders->selectedItems();
    return selected.isEmpty() ? QString() : NodeKey(selected.first());
}

QString frmFiler::SelectedFileName() const
{
    const QList<QTreeWidgetItem *> selected = lsviewFiles->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text(0);
}

std::optional<QStringList> frmFiler::Listing(
    std::optional<QStringList> (*operation)(const QString &), const QString &path)
{
    platform::BusyScope busy(*this, m_busy);
    return operation(path);
}

bool frmFiler::Succeeded(const std::function<QString()> &request)
{
    platform::BusyScope busy(*this, m_busy);
    return request() != kNG;
}
