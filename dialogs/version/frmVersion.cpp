#include "frmVersion.h"

#include "dialogs/version/versiontext.h"
#include "platform/machine.h"
#include "platform/shell.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QUrl>

namespace {

const QSize CLIENT_SIZE(335, 200);

// The labels' face is Century; where it is missing any serif face stands in.
QFont CenturyFont(double pointSize, bool bold = false, bool italic = false, bool underline = false)
{
    QFont font;
    font.setFamilies({ QStringLiteral("Century"), QStringLiteral("serif") });
    font.setStyleHint(QFont::Serif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    return font;
}

QLabel *YellowLabel(QWidget *parent, const char *name, const QFont &font, Qt::Alignment alignment, const QRect &place)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->setAlignment(alignment | Qt::AlignVCenter);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(255, 255, 0));
    label->setPalette(palette);
    label->setGeometry(place);
    return label;
}

} // namespace

frmVersion::frmVersion(QWidget *owner)
    : QDialog(owner)
    , m_background(QStringLiteral(":/version/background.png"))
{
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
        | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setFixedSize(CLIENT_SIZE);
    CreateControls();
    Form_Load();
}

void frmVersion::CreateControls()
{
    // The button comes first so that it is first in the tab order.
    cmdClose = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setGeometry(130, 164, 76, 26);

    labVersion = YellowLabel(this, "labVersion", CenturyFont(14.25, true), Qt::AlignHCenter, { 0, 72, 335, 28 });
    labBuild = YellowLabel(this, "labBuild", CenturyFont(8.25), Qt::AlignHCenter, { 0, 100, 335, 16 });
    Label1 = YellowLabel(this, "Label1", CenturyFont(9, false, true), Qt::AlignLeft, { 24, 124, 300, 20 });
    Label1->setText(QStringLiteral("Copyright (C) 2026 Lumeno Project"));
    labWeblink
        = YellowLabel(this, "labWeblink", CenturyFont(11.25, false, true, true), Qt::AlignHCenter, { 2, 164, 124, 26 });
    labWeblink->setText(QStringLiteral("Lumeno Project"));
    labWeblink->setCursor(Qt::PointingHandCursor);
    labWeblink->installEventFilter(this);

    connect(cmdClose, &QPushButton::clicked, this, &frmVersion::cmdClose_Click);
}

void frmVersion::Form_Load()
{
    const version::VersionNumbers numbers = version::ProgramVersion();
    labVersion->setText(version::VersionText(numbers.major, numbers.minor, numbers.revision));
    labBuild->setText(version::BuildText(numbers.revision));
}

void frmVersion::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(rect(), m_background);
}

// A click on the link label is a press and a release of the left button over it.
bool frmVersion::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == labWeblink && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && labWeblink->rect().contains(mouse->position().toPoint())) {
            labWeblink_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// The link opens the user guide installed beside the program.
void frmVersion::labWeblink_Click()
{
    platform::shell().Open(QUrl::fromLocalFile(platform::AppPath() + QStringLiteral("/Lumeno.chm")));
}

void frmVersion::cmdClose_Click()
{
    accept();
}
