#ifndef ZELEVENTVIEWER_H
#define ZELEVENTVIEWER_H

#include "OrvSdk.h"

#include <QString>
#include <QTimer>
#include <QVariant>
#include <QWidget>

#include <memory>

class QCheckBox;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;
class ZelEventManager;

// Two logs of a camera's events: the remote device's (type 4) on the left,
// the data stream's acquisition events (type 5000) on the right, each
// switched on with its own check box. Deletes itself when closed; its event
// managers go with it however it ends.
class ZelEventViewer : public QWidget
{
    Q_OBJECT

public:
    ZelEventViewer(ORV_DEVICE_HANDLE device, ORV_STREAM_HANDLE dataStream, QString cameraName,
                   QWidget* parent = nullptr);
    ~ZelEventViewer() override;

    // False when the camera's stream cannot deliver events although the SDK
    // might accept the registration.
    void setDataStreamEventsSupported(bool supported);

    // Lines kept by each log: 2048 events of 7 and 5 lines.
    static constexpr int remoteDeviceLogLines = 14336;
    static constexpr int dataStreamLogLines = 10240;

    // The lines that an event adds to its log; a value that holds no record
    // of the type counts as a record of zeros.
    static QString formatDataStreamEvent(const QVariant& value);
    static QString formatRemoteDeviceEvent(const QVariant& value);

    struct Form {
        QGroupBox* groupBox_3;
        QCheckBox* chkEnableRemoteDevice;
        QPlainTextEdit* txtRemoteDevice;
        QPushButton* btnClearRemoteDevice;
        QGroupBox* groupBox_2;
        QCheckBox* chkEnableDataStream;
        QPlainTextEdit* txtDataStream;
        QPushButton* btnClearDatasStream;
    };
    const Form& form() const { return ui; }
    ZelEventManager* remoteDeviceEvents() const { return m_remoteDeviceEvents.get(); }
    ZelEventManager* dataStreamEvents() const { return m_dataStreamEvents.get(); }

public slots:
    void onChkDSAcquisitionToggled(bool bChecked);
    void onChkRemoteDeviceToggled(bool bChecked);
    void onDSAcquisitionEventTriggered(int eventType, QVariant value);
    void onRemoteDeviceEventTriggered(int eventType, QVariant value);
    void on_btnClearRemoteDevice_clicked();
    void on_btnClearDatasStream_clicked();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildForm();
    // Switches one kind on or off; a refused switch-on shows the notice and
    // unchecks the box without a second toggle.
    void switchEvents(ZelEventManager* manager, bool on, bool supported, QCheckBox* box, const char* notice);
    void releaseManagers();

    Form ui{};
    std::unique_ptr<ZelEventManager> m_dataStreamEvents;
    std::unique_ptr<ZelEventManager> m_remoteDeviceEvents;
    bool m_dataStreamEventsSupported = true;
    // Events of one pass of the event loop go into each log in one append.
    void queueText(QString& pending, const QString& text);
    void flushLogs();
    QString m_pendingDataStream;
    QString m_pendingRemoteDevice;
    QTimer m_flush;
};

#endif // ZELEVENTVIEWER_H
