#include "ZelEventManager.h"

#include "ZelEventThread.h"
#include "ZelSdkLoader.h"
#include "ZelTrace.h"

#include <QCoreApplication>

ZelEventManager::ZelEventManager(ORV_MODULE_HANDLE hModule, int type, QObject* parent)
    : QObject(parent)
    , moduleHandle(hModule)
    , eventType(type)
{
}

ZelEventManager::~ZelEventManager()
{
    Disable();
}

bool ZelEventManager::Enable()
{
    static const char* const fn = "ZelEventManager::Enable";
    if (eventHandle != 0)
        return false;
    ORV_EVENT_HANDLE handle = 0;
    const int rc = OrvEventRegister(moduleHandle, eventType, &handle);
    if (rc != ORV_SUCCESS || handle == 0) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvEventRegister type:%d error:%d", fn, eventType, rc);
        if (rc == ORV_SUCCESS)
            OrvEventUnRegister(moduleHandle, eventType);
        return false;
    }
    eventHandle = handle;

    // Connected before the start, so that no early event is lost.
    thread = new ZelEventThread();
    connect(thread, &ZelEventThread::triggered, this, &ZelEventManager::triggered, Qt::QueuedConnection);
    if (!thread->start(moduleHandle, eventHandle, eventType, QThread::InheritPriority)) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! EventThread Start Failed! type:%d", fn, eventType);
        Disable();
        return false;
    }
    return true;
}

void ZelEventManager::Disable()
{
    if (eventHandle == 0)
        return;
    delete thread; // ends the wait and joins the thread
    thread = nullptr;
    // Events of the ended thread still on their way are dropped.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    OrvEventUnRegister(moduleHandle, eventType);
    eventHandle = 0;
}
