// A check that a shown window cuts none of its texts: every visible push
// button and one-line label is at least as wide as its text needs.
#ifndef WHOLETEXTS_H
#define WHOLETEXTS_H

#include <QAbstractButton>
#include <QLabel>
#include <QStringList>
#include <QWidget>

namespace zeltest {

// "name: width < needed" for each cut text of the window; empty when none.
inline QStringList cutTexts(QWidget* window)
{
    QStringList cut;
    const auto check = [&cut](QWidget* w, const QString& text) {
        if (!w->isVisibleTo(w->window()) || text.isEmpty() || w->width() >= w->sizeHint().width())
            return;
        cut << QStringLiteral("%1 \"%2\": %3 < %4").arg(w->objectName(), text).arg(w->width()).arg(w->sizeHint().width());
    };
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        check(button, button->text());
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->wordWrap())
            check(label, label->text());
    }
    return cut;
}

} // namespace zeltest

#endif // WHOLETEXTS_H
