#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <functional>

// Answers the next modal dialog that opens with exec(): once it is the
// active modal widget, `answer` fills it and decides (accept or reject).
// `seen` counts the dialogs answered.
inline void answerNextModalDialog(std::function<void(QDialog*)> answer, int* seen = nullptr)
{
    auto* poll = new QTimer(qApp);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer, seen]() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        if (seen)
            ++*seen;
        answer(dialog);
    });
    poll->start();
}
