#ifndef ZELCAMERAWINDOWBUSY_H
#define ZELCAMERAWINDOWBUSY_H

#include "ZelCameraWindow.h"

#include <QApplication>
#include <QCursor>

// A camera call of the operator: wait cursor while it runs, and the window
// is not deleted under it. A deletion asked for meanwhile follows at the end.
class ZelCameraWindow::Busy
{
public:
    explicit Busy(ZelCameraWindow* window, bool waitCursor = true)
        : m_window(window)
        , m_waitCursor(waitCursor)
    {
        ++m_window->m_busy;
        if (m_waitCursor)
            QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~Busy()
    {
        if (m_waitCursor)
            QApplication::restoreOverrideCursor();
        if (--m_window->m_busy == 0 && m_window->m_deletePending)
            m_window->deleteWhenFree();
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    ZelCameraWindow* m_window;
    bool m_waitCursor;
};

#endif // ZELCAMERAWINDOWBUSY_H
