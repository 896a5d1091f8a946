#ifndef ZELEVENTMANAGER_H
#define ZELEVENTMANAGER_H

#include "OrvSdk.h"

#include <QObject>
#include <QVariant>

class ZelEventThread;

// Receives one event type of one module and emits every event's payload on
// the GUI thread. GUI thread only; disable it before the module closes.
class ZelEventManager : public QObject
{
    Q_OBJECT

public:
    ZelEventManager(ORV_MODULE_HANDLE hModule, int eventType, QObject* parent = nullptr);
    ~ZelEventManager() override;

    // Registers the type and starts the waiting thread; false when enabled
    // already or when either step fails (nothing stays registered then).
    bool Enable();
    void Disable();
    bool IsEnabled() const { return eventHandle != 0; }

signals:
    void triggered(int eventType, QVariant info);

private:
    ORV_MODULE_HANDLE moduleHandle;
    int eventType;
    ORV_EVENT_HANDLE eventHandle = 0;
    ZelEventThread* thread = nullptr;
};

#endif // ZELEVENTMANAGER_H
