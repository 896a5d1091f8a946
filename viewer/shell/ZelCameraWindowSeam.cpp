#include "ZelCameraWindowSeam.h"

#include "ZelCamera.h"
#include "ZelUtil.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Until the camera window exists: names the camera and offers to close it
// and to go back to discovery.
class ZelCameraPlaceholder : public QWidget
{
    Q_OBJECT

public:
    ZelCameraPlaceholder(ZelCamera* camera, int accessMode, QWidget* parent)
        : QWidget(parent)
        , m_readOnly(accessMode != 3 && accessMode != 4)
    {
        setObjectName(QStringLiteral("ZelCameraPlaceholder"));
        QString key;
        if (camera) {
            const ORV_DEVICE_INFO device = camera->GetDeviceInfo();
            key = ZelUtil::RecordText(device.model) + QStringLiteral(" - ") + ZelUtil::RecordText(device.id);
        }
        setWindowTitle(key);
        auto* layout = new QVBoxLayout(this);
        auto* label = new QLabel(key + (m_readOnly ? tr(" (read-only)") : QString()), this);
        label->setObjectName(QStringLiteral("lblCamera"));
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label, 1);
        auto* buttons = new QHBoxLayout;
        auto* discover = new QPushButton(tr("Discovery..."), this);
        discover->setObjectName(QStringLiteral("btnDiscover"));
        auto* close = new QPushButton(tr("Close Camera"), this);
        close->setObjectName(QStringLiteral("btnCloseCamera"));
        buttons->addStretch();
        buttons->addWidget(discover);
        buttons->addWidget(close);
        layout->addLayout(buttons);
        connect(discover, &QPushButton::clicked, this, &ZelCameraPlaceholder::discoverButtonClicked);
        connect(close, &QPushButton::clicked, this, [this] {
            if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
                sub->close();
        });
    }

    bool isReadOnly() const { return m_readOnly; }

signals:
    void discoverButtonClicked();

private:
    bool m_readOnly;
};

} // namespace

QWidget* ZelCameraWindowSeam::create(ZelCamera* camera, int accessMode, QWidget* parent)
{
    return new ZelCameraPlaceholder(camera, accessMode, parent);
}

bool ZelCameraWindowSeam::isReadOnly(const QWidget* window)
{
    const auto* placeholder = qobject_cast<const ZelCameraPlaceholder*>(window);
    return !placeholder || placeholder->isReadOnly();
}

QObject* ZelCameraWindowSeam::invalidateReceiver(QWidget*)
{
    return nullptr;
}

bool ZelCameraWindowSeam::supports(QWidget*, const QString&)
{
    return false;
}

#include "ZelCameraWindowSeam.moc"
