#include "ZelUtil.h"

#include <QLayout>
#include <QPushButton>
#include <QWidget>

void ZelUtil::FitToContents(QWidget* window)
{
    if (!window)
        return;
    // A minimum width set by hand overrides the text's width in a layout.
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        const int wanted = button->sizeHint().width();
        if (button->minimumWidth() > 0 && button->minimumWidth() < wanted)
            button->setMinimumWidth(wanted);
    }
    QLayout* layout = window->layout();
    if (!layout)
        return;
    layout->invalidate();
    window->setMinimumSize(window->minimumSize().expandedTo(layout->totalMinimumSize()));
    window->resize(window->size().expandedTo(window->minimumSize()));
}
