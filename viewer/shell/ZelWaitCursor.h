#ifndef ZELWAITCURSOR_H
#define ZELWAITCURSOR_H

#include <QApplication>

// Shows the wait cursor over the whole application while it lives.
class ZelWaitCursor
{
public:
    ZelWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~ZelWaitCursor() { QApplication::restoreOverrideCursor(); }
    ZelWaitCursor(const ZelWaitCursor&) = delete;
    ZelWaitCursor& operator=(const ZelWaitCursor&) = delete;
};

#endif // ZELWAITCURSOR_H
