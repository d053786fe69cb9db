#pragma once

// Whether every control of a window is placed in its layout: a control left out sits in a
// corner over the others, or is never seen.

#include <QGroupBox>
#include <QLayout>
#include <QWidget>

namespace dialogtest {

inline bool InLayout(const QLayout *layout, const QWidget *widget)
{
    for (int i = 0; layout && i < layout->count(); ++i) {
        if (layout->itemAt(i)->widget() == widget || InLayout(layout->itemAt(i)->layout(), widget))
            return true;
    }
    return false;
}

// The first control of form (or of its group boxes) that no layout places; empty when none.
inline QString Unplaced(const QWidget *form)
{
    for (const QWidget *child : form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow() && !InLayout(form->layout(), child))
            return child->objectName() + QLatin1Char(' ') + QLatin1String(child->metaObject()->className());
        if (qobject_cast<const QGroupBox *>(child) && !Unplaced(child).isEmpty())
            return Unplaced(child);
    }
    return {};
}

} // namespace dialogtest
