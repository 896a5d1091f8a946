#include "ZelShadingTool.h"

#include "ZelDialogs.h"
#include "ZelPixmapLabel.h"
#include "ZelWaitCursor.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char* const generateToolTip =
    "<html><head/><body><p>generate map from the  resulting dark and bright mean images. </p><p><br/></p></body></html>";

// The file's bytes and the image they hold.
QImage loadImage(const QString& path, QByteArray* bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    *bytes = file.readAll();
    return QImage::fromData(bytes->isEmpty() ? QByteArray() : *bytes);
}

} // namespace

ZelShadingTool::ZelShadingTool(ZelFeatureManager* deviceRegisters, ZelFeatureManager* remoteDevice, bool bigEndian,
                               QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_access(deviceRegisters, remoteDevice, bigEndian, QStringLiteral("SHCSettingsFileDir"))
{
    setAttribute(Qt::WA_DeleteOnClose);
}

ZelShadingTool::~ZelShadingTool() = default;

void ZelShadingTool::addImageListRow(QBoxLayout* layout, QWidget* parent, const QString& listName,
                                     const QString& addName, const QString& deleteName, QListWidget** list,
                                     QPushButton** add, QPushButton** remove)
{
    auto* row = new QHBoxLayout;
    *list = new QListWidget(parent);
    (*list)->setObjectName(listName);
    (*list)->setMaximumHeight(80);
    (*list)->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    (*list)->setSelectionMode(QAbstractItemView::ExtendedSelection);
    row->addWidget(*list);
    auto* column = new QVBoxLayout;
    *add = new QPushButton(QStringLiteral("Add"), parent);
    (*add)->setObjectName(addName);
    *remove = new QPushButton(QStringLiteral("Delete"), parent);
    (*remove)->setObjectName(deleteName);
    (*remove)->setEnabled(false);
    column->addWidget(*add);
    column->addWidget(*remove);
    column->addStretch();
    row->addLayout(column);
    layout->addLayout(row);
}

ZelPixmapLabel* ZelShadingTool::addMeanImage(QBoxLayout* layout, QWidget* parent, const QString& labelName,
                                             const QString& frameName)
{
    QFrame* frame = nullptr;
    if (!frameName.isEmpty()) {
        frame = new QFrame(parent);
        frame->setObjectName(frameName);
        new QVBoxLayout(frame);
    }
    auto* label = new ZelPixmapLabel(frame ? frame : parent);
    label->setObjectName(labelName);
    label->setAlignment(Qt::AlignCenter);
    QFrame* framed = frame ? frame : static_cast<QFrame*>(label);
    framed->setFrameShape(QFrame::StyledPanel);
    framed->setFrameShadow(QFrame::Plain);
    if (frame)
        frame->layout()->addWidget(label);
    layout->addWidget(framed, 1);
    return label;
}

void ZelShadingTool::addMapButtons(QBoxLayout* layout, const QString& generateText, const QString& uploadText,
                                   const QString& saveText, int minimumWidth, QPushButton** generate,
                                   QPushButton** upload, QPushButton** save)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    *generate = new QPushButton(generateText, this);
    (*generate)->setObjectName(QStringLiteral("btnGenerateMap"));
    (*generate)->setMinimumSize(100, 30);
    (*generate)->setToolTip(QString::fromLatin1(generateToolTip));
    *upload = new QPushButton(uploadText, this);
    (*upload)->setObjectName(QStringLiteral("btnUploadMapToCam"));
    *save = new QPushButton(saveText, this);
    (*save)->setObjectName(QStringLiteral("btnSaveMapToFile"));
    for (QPushButton* b : {*generate, *upload, *save}) {
        if (b != *generate) {
            b->setMinimumSize(minimumWidth, 30);
            b->setEnabled(false);
        }
        row->addWidget(b);
    }
    layout->addLayout(row);
}

bool ZelShadingTool::getMapSelect(QVariant& value)
{
    return m_access.getFeature("Shading_MapSelect", value);
}

void ZelShadingTool::setMapSelect(const QVariant& value)
{
    m_access.setFeature("Shading_MapSelect", value);
}

bool ZelShadingTool::getCorrectionEnabled(bool* enabled)
{
    QVariant value;
    if (!m_access.getFeature("Shading_Control", value))
        return false;
    *enabled = value.toLongLong() != 0;
    return true;
}

void ZelShadingTool::setCorrectionEnabled(bool enabled)
{
    m_access.setFeature("Shading_Control", QVariant(uint(enabled ? 1 : 0)));
}

bool ZelShadingTool::isParamLocked()
{
    return m_access.isParamLocked();
}

bool ZelShadingTool::sensorSize(qint64* width, qint64* height)
{
    QVariant w, h;
    if (!m_access.getFeature("WidthMax", w) || !m_access.getFeature("HeightMax", h))
        return false;
    *width = w.toLongLong();
    *height = h.toLongLong();
    return true;
}

bool ZelShadingTool::uploadChunks(const QByteArray& bytes, int chunkSize, qint64 total,
                                  const std::function<bool(int, int)>& write, const QString& title,
                                  const std::function<QString(int)>& failText)
{
    for (int offset = 0; offset < bytes.size(); offset += chunkSize) {
        const int length = std::min(chunkSize, bytes.size() - offset);
        emit actionViewerUpdateProcessBar(false, int(100 * offset / total));
        if (!write(offset, length)) {
            // The full value resets the camera window's progress display.
            emit actionViewerUpdateProcessBar(false, 100);
            ZelDialogs::information(this, title, failText(length));
            return false;
        }
    }
    m_access.setFeature("Shading_Control", QVariant(qint64(1)));
    emit actionViewerUpdateProcessBar(true, 100);
    return true;
}

QByteArray ZelShadingTool::fingerprint(const QByteArray& fileBytes)
{
    return QCryptographicHash::hash(fileBytes, QCryptographicHash::Sha1);
}

void ZelShadingTool::addImageFiles(ImageInput& input)
{
    ZelWaitCursor wait;
    const QStringList paths = ZelDialogs::getOpenFileNames(nullptr, QStringLiteral("image paths"), m_access.folder(),
                                                           QStringLiteral("bmp (*.bmp)"));
    for (const QString& path : paths) {
        if (!input.list->findItems(path, Qt::MatchExactly).isEmpty())
            continue;
        addImage(path, input);
    }
    if (!paths.isEmpty())
        m_access.rememberFolder(paths.first());
}

bool ZelShadingTool::addImage(const QString& path, ImageInput& input)
{
    QByteArray bytes;
    const QImage image = loadImage(path, &bytes);
    if (image.isNull()) {
        ZelDialogs::critical(this, QStringLiteral("Load Image"), path + QStringLiteral("Failed!"));
        return false;
    }
    if (!ZelMeanImageAccumulator::isSupported(image)) {
        ZelDialogs::information(this, QStringLiteral("Load Image"), path + QStringLiteral(": Image Format Not Supported!"));
        return false;
    }
    if (m_imageSize.isValid() && image.size() != m_imageSize) {
        ZelDialogs::information(this, QStringLiteral("Load Image:"), path + input.incompatibleText);
        return false;
    }
    if (input.count() >= ZelMeanImageAccumulator::maxImages) {
        ZelDialogs::information(this, QStringLiteral("Load Image"),
                                path + QStringLiteral(": no more than 256 images can be averaged!"));
        return false;
    }
    QImage mean = input.label->image();
    const bool first = input.count() == 0;
    if (input.accumulate(mean, image, 1) != ZelMeanImageAccumulator::Done) {
        if (input.reportSetImage && !first)
            ZelDialogs::information(this, QStringLiteral("setImage:"), path + QStringLiteral(": setImage image failed!"));
        ZelDialogs::critical(this, QStringLiteral("Load Image"), QStringLiteral("Out of memory!"));
        return false;
    }
    input.label->setImage(mean);
    m_imageSize = image.size();
    auto* item = new QListWidgetItem(path, input.list);
    item->setData(Qt::UserRole, fingerprint(bytes));
    return true;
}

void ZelShadingTool::removeSelectedImages(ImageInput& input)
{
    ZelWaitCursor wait;
    const QList<QListWidgetItem*> selected = input.list->selectedItems();
    for (QListWidgetItem* item : selected) {
        const QString path = item->text();
        QByteArray bytes;
        const QImage image = loadImage(path, &bytes);
        if (image.isNull()) {
            if (input.reportFailedReload)
                ZelDialogs::critical(this, QStringLiteral("Load Image"), path + QStringLiteral("Failed!"));
        } else if (image.size() == m_imageSize && fingerprint(bytes) == item->data(Qt::UserRole).toByteArray()) {
            // A file changed on disk since it was added is not subtracted.
            QImage mean = input.label->image();
            if (input.accumulate(mean, image, -1) == ZelMeanImageAccumulator::Done) {
                if (input.count() > 0)
                    input.label->setImage(mean);
                else
                    input.label->setImage(QImage());
            }
        }
        delete item;
    }
    if (input.list->selectedItems().isEmpty())
        input.deleteButton->setEnabled(false);
    if (input.list->count() == 0) {
        input.reset();
        input.label->setImage(QImage());
        input.label->clear();
        if (!anyImages())
            m_imageSize = QSize();
    }
}
