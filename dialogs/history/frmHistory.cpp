#include "dialogs/history/frmHistory.h"

#include "platform/busyscope.h"
#include "platform/dialogs.h"
#include "platform/twips.h"
#include "protocol/modPublic.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString Joined(const QString &folder, const QString &name)
{
    return folder + QLatin1Char('/') + name;
}

QString LastElement(const QString &path)
{
    return path.section(QLatin1Char('/'), -1);
}

} // namespace

frmHistory::frmHistory(Kind kind, const QString &path, bool canOpen, QWidget *owner)
    : QDialog(owner)
    , m_kind(kind)
    , m_path(path)
    , m_canOpen(canOpen)
{
    setObjectName(QStringLiteral("frmHistory"));
    BuildControls();
    Form_Load();
}

void frmHistory::BuildControls()
{
    const double twipsPerPixel = platform::TwipsPerPixelAt(logicalDpiX());
    lsviewItems = new QTreeWidget(this);
    lsviewItems->setObjectName(QStringLiteral("lsviewItems"));
    lsviewItems->setRootIsDecorated(false);
    lsviewItems->setUniformRowHeights(true);
    lsviewItems->header()->setStretchLastSection(false);
    QStringList headers { QStringLiteral("日時"), QStringLiteral("サイズ") };
    QList<int> columnTwips { 3400, 2000 };
    if (IsDeletedList()) {
        headers = QStringList { QStringLiteral("名前"), QStringLiteral("種類"), QStringLiteral("削除日時") }
            + headers.mid(1);
        columnTwips = { 2822, 1100, 3400, 2000 };
    }
    lsviewItems->setHeaderLabels(headers);
    const int sizeColumn = int(headers.size()) - 1;
    lsviewItems->headerItem()->setTextAlignment(sizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    for (int column = 0; column < columnTwips.size(); ++column)
        lsviewItems->setColumnWidth(column, platform::TwipsToPixels(columnTwips[column], twipsPerPixel));

    cmdOpen = new QPushButton(QStringLiteral("新規文書として開く(&O)"), this);
    cmdOpen->setObjectName(QStringLiteral("cmdOpen"));
    cmdOpen->setVisible(m_canOpen);
    cmdRestore = new QPushButton(QStringLiteral("復元(&R)..."), this);
    cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    cmdClose = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOpen);
    buttons->addWidget(cmdRestore);
    buttons->addWidget(cmdClose);
    auto *form = new QVBoxLayout(this);
    form->addWidget(lsviewItems, 1);
    form->addLayout(buttons);
    const int widthTwips = IsDeletedList() ? 10000 : 7000;
    resize(platform::TwipsToPixels(widthTwips, twipsPerPixel), platform::TwipsToPixels(4500, twipsPerPixel));

    connect(lsviewItems, &QTreeWidget::itemSelectionChanged, this, &frmHistory::lsviewItems_SelectionChanged);
    connect(lsviewItems, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (cmdOpen->isVisible() && cmdOpen->isEnabled())
            cmdOpen_Click();
    });
    connect(cmdOpen, &QPushButton::clicked, this, &frmHistory::cmdOpen_Click);
    connect(cmdRestore, &QPushButton::clicked, this, &frmHistory::cmdRestore_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmHistory::reject);
}

void frmHistory::Form_Load()
{
    const QString name = LastElement(m_path);
    setWindowTitle(IsDeletedList() ? QStringLiteral("削除したファイルとフォルダ - ") + name
                                   : QStringLiteral("以前のバージョン - ") + name);
    std::optional<QStringList> lines;
    {
        platform::BusyScope busy(*this, m_busy);
        lines = IsDeletedList() ? modPublic::ListRemoteDeleted(m_path) : modPublic::ListRemoteVersions(m_path);
    }
    if (!lines)
        platform::ShowError(this, QStringLiteral("サーバからの履歴情報の取得に失敗しました。"));
    for (const QString &line : lines.value_or(QStringList())) {
        const std::optional<history::Item> item
            = IsDeletedList() ? history::ParseDeletedLine(line) : history::ParseVersionLine(line);
        if (!item)
            continue;
        QStringList cells { item->time, history::FormatExactSize(item->size) };
        if (IsDeletedList())
            cells = QStringList { item->name, history::KindText(item->kind) } + cells;
        auto *row = new QTreeWidgetItem(lsviewItems, cells);
        row->setTextAlignment(int(cells.size()) - 1, Qt::AlignRight | Qt::AlignVCenter);
        m_items.append(*item);
    }
    lsviewItems_SelectionChanged();
}

std::optional<history::Item> frmHistory::SelectedItem() const
{
    const QList<QTreeWidgetItem *> selected = lsviewItems->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return m_items.value(lsviewItems->indexOfTopLevelItem(selected.first()));
}

// A deleted folder can only be restored: there is no text to open.
void frmHistory::lsviewItems_SelectionChanged()
{
    const std::optional<history::Item> item = SelectedItem();
    cmdOpen->setEnabled(item && item->kind != QLatin1String("folder"));
    cmdRestore->setEnabled(item.has_value());
}

void frmHistory::cmdOpen_Click()
{
    const std::optional<history::Item> item = SelectedItem();
    if (!item)
        return;
    std::optional<textencoding::DecodedText> text;
    {
        platform::BusyScope busy(*this, m_busy);
        text = modPublic::ReadRemoteVersion(IsDeletedList() ? Joined(m_path, item->name) : m_path, item->id);
    }
    if (!text) {
        platform::ShowError(this, QStringLiteral("ファイルの取得に失敗しました。"));
        return;
    }
    m_openedText = std::move(text);
    accept();
}

QString frmHistory::RestoreQuestion(const history::Item &item) const
{
    if (!IsDeletedList())
        return QStringLiteral("%1のバージョンを復元しますか？\r\n現在の内容は以前のバージョンとして残ります。")
            .arg(item.time);
    return QStringLiteral("%1「%2」を元の場所に復元しますか？").arg(history::KindText(item.kind), item.name);
}

void frmHistory::cmdRestore_Click()
{
    const std::optional<history::Item> item = SelectedItem();
    if (!item || !platform::AskYesNo(this, RestoreQuestion(*item)))
        return;
    if (!RestoreItem(*item))
        return;
    m_blnRestored = true;
    accept();
}

// A deleted item whose name is taken meanwhile comes back under another name the user gives.
bool frmHistory::RestoreItem(const history::Item &item)
{
    QString newName;
    for (;;) {
        QString result;
        {
            platform::BusyScope busy(*this, m_busy);
            result = modPublic::RestoreRemoteItem(m_path, item.id, newName);
        }
        if (result != modPublic::kNG)
            return true;
        if (!IsDeletedList()) {
            platform::ShowError(this, QStringLiteral("復元に失敗しました。"));
            return false;
        }
        newName = platform::dialogs().InputBox(this,
            QStringLiteral("復元に失敗しました。\r\n同じ名前が既にある場合は、別の名前を入力してください。"),
            newName.isEmpty() ? item.name : newName);
        if (newName.isEmpty())
            return false;
    }
}

void frmHistory::closeEvent(QCloseEvent *event)
{
    // The close box stays shut while a request is out: its reply still has a window to land in.
    if (m_busy > 0)
        event->ignore();
    else
        QDialog::closeEvent(event);
}
