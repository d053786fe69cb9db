#include "layout.h"

#include <QAbstractButton>
#include <QFile>
#include <QHeaderView>
#include <QLayout>
#include <QToolBar>
#include <QTreeView>

namespace testsupport {
namespace {

QString Describe(const QWidget *window, const QWidget *w)
{
    const QPoint at = w->mapTo(window, QPoint());
    QString line = QStringLiteral("%1 %2 %3,%4 %5x%6")
                       .arg(QLatin1String(w->metaObject()->className()), w->objectName())
                       .arg(at.x())
                       .arg(at.y())
                       .arg(w->width())
                       .arg(w->height());
    if (!w->isVisibleTo(window))
        line += QStringLiteral(" hidden");
    if (!w->isEnabled())
        line += QStringLiteral(" disabled");
    if (w->testAttribute(Qt::WA_SetFont))
        line += QStringLiteral(" font %1pt%2%3%4")
                    .arg(w->font().pointSizeF())
                    .arg(w->font().bold() ? " bold" : "", w->font().italic() ? " italic" : "",
                        w->font().underline() ? " underline" : "");
    if (const auto *button = qobject_cast<const QAbstractButton *>(w))
        line += QStringLiteral(" \"%1\"").arg(button->text());
    if (const auto *toolbar = qobject_cast<const QToolBar *>(w))
        line += QStringLiteral(" icons %1x%2").arg(toolbar->iconSize().width()).arg(toolbar->iconSize().height());
    if (const auto *view = qobject_cast<const QTreeView *>(w)) {
        line += QStringLiteral(" columns");
        for (int i = 0; i < view->header()->count(); ++i)
            line += u' ' + QString::number(view->columnWidth(i));
    }
    return line;
}

// Every control below `parent`, not the inner parts of lists, menus and boxes with their own
// editors: those are Qt's.
void DescribeChildren(const QWidget *window, const QWidget *parent, QStringList &lines)
{
    for (const QWidget *w : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (w->isWindow())
            continue;
        lines.append(Describe(window, w));
        if (!w->inherits("QAbstractScrollArea") && !w->inherits("QMenu") && !w->inherits("QComboBox")
            && !w->inherits("QAbstractSpinBox"))
            DescribeChildren(window, w, lines);
    }
}

QStringList Layout(QWidget *window)
{
    QStringList lines { QStringLiteral("window %1x%2").arg(window->width()).arg(window->height()) };
    DescribeChildren(window, window, lines);
    QStringList tabOrder;
    for (QWidget *w = window->nextInFocusChain(); w != window && tabOrder.size() < 200; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window) && !w->objectName().isEmpty())
            tabOrder.append(w->objectName());
    lines.append(QStringLiteral("tab order: ") + tabOrder.join(u' '));
    return lines;
}

} // namespace

QString LayoutDifference(QWidget *window, const QString &name)
{
    if (QLayout *layout = window->layout())
        layout->activate();
    const QStringList actual = Layout(window);
    QFile file(QStringLiteral(LUMENO_TEST_DATA "/layout/") + name + QStringLiteral(".txt"));
    if (qEnvironmentVariableIsSet("LUMENO_UPDATE_LAYOUT")) {
        if (!file.open(QIODevice::WriteOnly) || file.write((actual.join(u'\n') + u'\n').toUtf8()) < 0)
            return QStringLiteral("cannot write ") + file.fileName();
        return {};
    }
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("no layout ") + file.fileName() + QStringLiteral(": run with LUMENO_UPDATE_LAYOUT=1");
    const QStringList expected = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < std::max(actual.size(), expected.size()); ++i)
        if (actual.value(i) != expected.value(i))
            return QStringLiteral("%1 line %2: \"%3\", expected \"%4\"")
                .arg(name)
                .arg(i + 1)
                .arg(actual.value(i), expected.value(i));
    return {};
}

} // namespace testsupport
