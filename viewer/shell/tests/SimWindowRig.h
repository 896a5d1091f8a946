#ifndef SIMWINDOWRIG_H
#define SIMWINDOWRIG_H

// A window under test on a simulated camera: a home folder of its own, the
// simulated session, and the window, deleted after each test. A test class
// derives from QObject and one of these rigs, and its initTestCase, init and
// cleanup slots call setUpHome, startSession and closeAll.

#include "../../core/tests/SimCameraSession.h"
#include "../../core/tests/TestHome.h"

#include "ZelCamera.h"

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>

template <class Window>
class SimWindowRig
{
protected:
    bool setUpHome() { return useTestHome(home); }
    bool startSession() { return session.start(); }
    // Deletes the window and stops the session; false when a wait cursor
    // was left behind.
    bool closeAll()
    {
        delete window;
        const bool cursorGone = !QApplication::overrideCursor();
        session.stop();
        return cursorGone;
    }
    int run(const QString& command, QString* reply = nullptr) { return session.run(command, reply); }

    QTemporaryDir home;
    zeltest::SimCameraSession session;
    QPointer<Window> window;
};

class ZelCameraWindow;

// A camera window, opened as the viewer opens one. A template, so that the
// assistants' tests need not see the camera window.
template <class Window = ZelCameraWindow>
class CameraWindowRig : public SimWindowRig<Window>
{
protected:
    // Manual: the camera sends only the frames a test asks for.
    enum class Stream { FreeRunning, Manual };
    explicit CameraWindowRig(Stream stream) : m_stream(stream) {}

    Window* openWindow(const QString& deviceId, const QString& producer = "orv_gev_tl.cti",
                                int access = ORV_ACCESS_MODE_CONTROL)
    {
        ZelCamera* camera = this->session.open(deviceId, producer, access);
        if (!camera)
            return nullptr;
        if (m_stream == Stream::Manual)
            this->run("stream.manual " + deviceId + " on");
        this->window = new Window(camera, access);
        this->window->show();
        return this->window;
    }

private:
    Stream m_stream;
};

// An assistant on the remote features of a camera.
template <class Assistant>
class AssistantRig : public SimWindowRig<Assistant>
{
protected:
    Assistant* open(const QString& deviceId)
    {
        camera = this->session.open(deviceId, "orv_gev_tl.cti");
        if (!camera)
            return nullptr;
        module = "remote:" + deviceId;
        this->window = new Assistant(camera->remoteDeviceFeatures, "cam");
        return this->window;
    }

    ZelCamera* camera = nullptr;
    // The test control's name of the camera's remote features.
    QString module;
};

#endif // SIMWINDOWRIG_H
