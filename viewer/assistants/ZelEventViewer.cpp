#include "ZelEventViewer.h"

#include "ZelDialogs.h"
#include "ZelEventManager.h"
#include "ZelSdkMetaTypes.h"
#include "ZelUtil.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QtEndian>

#include <cstring>

namespace {

const QString separator = QStringLiteral("=====================================");
const QString viewerTitle = QStringLiteral("Event Viewer");

template <typename Record>
Record recordOf(const QVariant& value)
{
    if (value.userType() == qMetaTypeId<Record>())
        return value.value<Record>();
    Record zeros;
    std::memset(&zeros, 0, sizeof zeros);
    return zeros;
}

// One half of the window: the group with its check box, log and button.
QGroupBox* eventGroup(QWidget* parent, const QString& title, const char* names[4], QCheckBox** box,
                      QPlainTextEdit** log, QPushButton** clear)
{
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(QLatin1String(names[0]));
    auto* layout = new QVBoxLayout(group);
    *box = new QCheckBox(QStringLiteral("Enable"), group);
    (*box)->setObjectName(QLatin1String(names[1]));
    *log = new QPlainTextEdit(group);
    (*log)->setObjectName(QLatin1String(names[2]));
    (*log)->setReadOnly(true);
    (*log)->setLineWrapMode(QPlainTextEdit::NoWrap);
    *clear = new QPushButton(QStringLiteral("Clear"), group);
    (*clear)->setObjectName(QLatin1String(names[3]));
    layout->addWidget(*box);
    layout->addWidget(*log);
    layout->addWidget(*clear);
    return group;
}

} // namespace

ZelEventViewer::ZelEventViewer(ORV_DEVICE_HANDLE device, ORV_STREAM_HANDLE dataStream, QString cameraName,
                               QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    buildForm();
    ui.txtRemoteDevice->setMaximumBlockCount(remoteDeviceLogLines);
    ui.txtDataStream->setMaximumBlockCount(dataStreamLogLines);
    m_dataStreamEventsSupported = true;
    setWindowTitle(QStringLiteral("Event Viewer(") + cameraName + QLatin1Char(')'));
    setAttribute(Qt::WA_DeleteOnClose);

    m_dataStreamEvents = std::make_unique<ZelEventManager>(dataStream, ORV_EVENT_TYPE_DS_ACQUISITION);
    m_remoteDeviceEvents = std::make_unique<ZelEventManager>(device, ORV_EVENT_TYPE_REMOTE_DEVICE);
    connect(m_dataStreamEvents.get(), &ZelEventManager::triggered, this,
            &ZelEventViewer::onDSAcquisitionEventTriggered, Qt::QueuedConnection);
    connect(m_remoteDeviceEvents.get(), &ZelEventManager::triggered, this,
            &ZelEventViewer::onRemoteDeviceEventTriggered, Qt::QueuedConnection);
    connect(ui.chkEnableDataStream, &QCheckBox::toggled, this, &ZelEventViewer::onChkDSAcquisitionToggled);
    connect(ui.chkEnableRemoteDevice, &QCheckBox::toggled, this, &ZelEventViewer::onChkRemoteDeviceToggled);
    m_flush.setSingleShot(true);
    m_flush.setInterval(0);
    connect(&m_flush, &QTimer::timeout, this, &ZelEventViewer::flushLogs);
}

ZelEventViewer::~ZelEventViewer()
{
    // Deleted without a close (with its camera window): the event threads
    // end here, before the camera's handles close.
    releaseManagers();
}

void ZelEventViewer::buildForm()
{
    setObjectName(QStringLiteral("ZelEventViewer"));
    resize(720, 400);
    setMinimumSize(720, 400);
    auto* layout = new QHBoxLayout(this);
    const char* remoteNames[4] = {"groupBox_3", "chkEnableRemoteDevice", "txtRemoteDevice", "btnClearRemoteDevice"};
    const char* streamNames[4] = {"groupBox_2", "chkEnableDataStream", "txtDataStream", "btnClearDatasStream"};
    ui.groupBox_3 = eventGroup(this, QStringLiteral("Remote Device Events"), remoteNames, &ui.chkEnableRemoteDevice,
                               &ui.txtRemoteDevice, &ui.btnClearRemoteDevice);
    ui.groupBox_2 = eventGroup(this, QStringLiteral("Data Stream Acquisition Event"), streamNames,
                               &ui.chkEnableDataStream, &ui.txtDataStream, &ui.btnClearDatasStream);
    layout->addWidget(ui.groupBox_3);
    layout->addWidget(ui.groupBox_2);
    QMetaObject::connectSlotsByName(this);
}

void ZelEventViewer::setDataStreamEventsSupported(bool supported)
{
    m_dataStreamEventsSupported = supported;
}

void ZelEventViewer::switchEvents(ZelEventManager* manager, bool on, bool supported, QCheckBox* box,
                                  const char* notice)
{
    if (!manager)
        return;
    if (!on) {
        manager->Disable();
        return;
    }
    if (supported && manager->Enable())
        return;
    ZelDialogs::critical(this, viewerTitle, QLatin1String(notice), QMessageBox::Ok);
    const QSignalBlocker blocker(box);
    box->setChecked(false);
}

void ZelEventViewer::onChkDSAcquisitionToggled(bool bChecked)
{
    switchEvents(m_dataStreamEvents.get(), bChecked, m_dataStreamEventsSupported, ui.chkEnableDataStream,
                 "Data Stream Events Not Supported!");
}

void ZelEventViewer::onChkRemoteDeviceToggled(bool bChecked)
{
    switchEvents(m_remoteDeviceEvents.get(), bChecked, true, ui.chkEnableRemoteDevice,
                 "Remote Device Events Not Supported!");
}

QString ZelEventViewer::formatDataStreamEvent(const QVariant& value)
{
    const auto record = recordOf<ORV_EVENT_DS_ACQUISITION_DATA>(value);
    return separator + QLatin1Char('\n') + QStringLiteral("SignalType\t: ") + QString::number(record.signalType) +
           QStringLiteral(" (") + ZelUtil::GetStatusName(record.signalType) + QStringLiteral(")\n") +
           QStringLiteral("ImageId\t: ") + QString::number(record.imageId) + QLatin1Char('\n') +
           QStringLiteral("TimeStamp\t: ") + QString::number(record.timestamp) + QLatin1Char('\n') + separator;
}

QString ZelEventViewer::formatRemoteDeviceEvent(const QVariant& value)
{
    const auto record = recordOf<ORV_EVENT_REMOTE_DEVICE_DATA>(value);
    const quint16 eventId = qFromBigEndian<quint16>(record.eventId);
    const quint16 channel = qFromBigEndian<quint16>(record.streamChannel);
    const quint16 blockId = qFromBigEndian<quint16>(record.blockId);
    const quint32 high = qFromBigEndian<quint32>(record.timestampHigh);
    const quint32 low = qFromBigEndian<quint32>(record.timestampLow);
    return separator + QLatin1Char('\n') + QStringLiteral("EventID\t: ") + QString::number(eventId, 16) +
           QStringLiteral(" (") + ZelUtil::GetEventName(eventId) + QStringLiteral(")\n") +
           QStringLiteral("BlockID\t: ") + QString::number(blockId) + QLatin1Char('\n') +
           QStringLiteral("Stream Channel\t: ") + QString::number(channel) + QLatin1Char('\n') +
           QStringLiteral("TimeStampLow\t: ") + QString::number(low) + QLatin1Char('\n') +
           QStringLiteral("TimeStampHigh\t: ") + QString::number(high) + QLatin1Char('\n') + separator;
}

void ZelEventViewer::onDSAcquisitionEventTriggered(int eventType, QVariant value)
{
    if (eventType != ORV_EVENT_TYPE_DS_ACQUISITION)
        return;
    queueText(m_pendingDataStream, formatDataStreamEvent(value));
}

void ZelEventViewer::onRemoteDeviceEventTriggered(int eventType, QVariant value)
{
    if (eventType != ORV_EVENT_TYPE_REMOTE_DEVICE)
        return;
    queueText(m_pendingRemoteDevice, formatRemoteDeviceEvent(value));
}

void ZelEventViewer::queueText(QString& pending, const QString& text)
{
    if (!pending.isEmpty())
        pending += QLatin1Char('\n');
    pending += text;
    if (!m_flush.isActive())
        m_flush.start();
}

// One append per log: the same lines as an append per event, and the log
// drops its oldest lines once rather than once per event.
void ZelEventViewer::flushLogs()
{
    for (auto [pending, log] : {std::pair{&m_pendingDataStream, ui.txtDataStream},
                                std::pair{&m_pendingRemoteDevice, ui.txtRemoteDevice}}) {
        if (pending->isEmpty())
            continue;
        log->appendPlainText(*pending);
        pending->clear();
    }
}

void ZelEventViewer::on_btnClearRemoteDevice_clicked()
{
    m_pendingRemoteDevice.clear();
    ui.txtRemoteDevice->clear();
}

void ZelEventViewer::on_btnClearDatasStream_clicked()
{
    m_pendingDataStream.clear();
    ui.txtDataStream->clear();
}

void ZelEventViewer::releaseManagers()
{
    for (ZelEventManager* manager : {m_dataStreamEvents.get(), m_remoteDeviceEvents.get()}) {
        if (manager)
            disconnect(manager, &ZelEventManager::triggered, this, nullptr);
    }
    // Deleting a manager ends its delivery and unregisters its event type.
    m_dataStreamEvents.reset();
    m_remoteDeviceEvents.reset();
}

void ZelEventViewer::closeEvent(QCloseEvent* event)
{
    releaseManagers();
    QWidget::closeEvent(event);
}
