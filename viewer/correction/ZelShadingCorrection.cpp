#include "ZelShadingCorrection.h"

#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelPixmapLabel.h"
#include "ZelUtil.h"
#include "ZelWaitCursor.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTextStream>
#include <QVBoxLayout>

namespace {

constexpr quint32 gridOffsetXRegister = 0x105FFFC4;
constexpr quint32 gridOffsetYRegister = 0x105FFFC8;

} // namespace

ZelShadingCorrection::ZelShadingCorrection(ZelFeatureManager* deviceRegisters, ZelFeatureManager* remoteDevice,
                                           const QString& cameraName, bool bigEndian, QWidget* parent)
    : ZelShadingTool(deviceRegisters, remoteDevice, bigEndian, parent)
{
    buildForm();
    setWindowTitle(QStringLiteral("Shading Correction (") + cameraName + QStringLiteral(")"));
    m_input.list = listImagePath;
    m_input.deleteButton = btnDeleteImage;
    m_input.label = lblMeanImage;
    m_input.accumulate = [this](QImage& mean, const QImage& image, int a) {
        return m_accumulator.accumulate(mean, image, a);
    };
    m_input.count = [this] { return m_accumulator.count(); };
    m_input.reset = [this] { m_accumulator.reset(); };
    m_input.incompatibleText = QStringLiteral(": Incompatible Image!");
    m_input.reportSetImage = true;

    QVariant revision;
    if (m_access.getFeature("Shading_Revision", revision))
        m_revision = int(revision.toLongLong());
    if (m_revision == 5) {
        quint32 value = 0;
        if (m_access.readWord(gridOffsetXRegister, value))
            m_offsetX = int((0u - value) & 15u);
        if (m_access.readWord(gridOffsetYRegister, value))
            m_offsetY = int((0u - value) & 15u);
    }
}

ZelShadingCorrection::~ZelShadingCorrection() = default;

void ZelShadingCorrection::buildForm()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ZelShadingCorrection"));
    resize(480, 620);
    setMinimumSize(480, 600);
    setLocale(QLocale(QLocale::English, QLocale::Germany));

    auto* layout = new QVBoxLayout(this);
    label_3 = new QLabel(QStringLiteral(" Input Image Paths:"), this);
    label_3->setObjectName(QStringLiteral("label_3"));
    layout->addWidget(label_3);

    addImageListRow(layout, this, QStringLiteral("listImagePath"), QStringLiteral("btnAddImage"),
                    QStringLiteral("btnDeleteImage"), &listImagePath, &btnAddImage, &btnDeleteImage);

    label_5 = new QLabel(QStringLiteral("Resulting Mean Image:"), this);
    label_5->setObjectName(QStringLiteral("label_5"));
    layout->addWidget(label_5);
    lblMeanImage = addMeanImage(layout, this, QStringLiteral("lblMeanImage"));
    addMapButtons(layout, QStringLiteral("Generate Map"), QStringLiteral("Upload Map To Camera"),
                  QStringLiteral("Save Map To File "), 120, &btnGenerateMap, &btnUploadMapToCam, &btnSaveMapToFile);

    ZelUtil::FitToContents(this);
    QMetaObject::connectSlotsByName(this);
}

void ZelShadingCorrection::on_btnAddImage_clicked()
{
    addImageFiles(m_input);
}

void ZelShadingCorrection::on_btnDeleteImage_clicked()
{
    removeSelectedImages(m_input);
}

void ZelShadingCorrection::on_listImagePath_itemPressed(QListWidgetItem* item)
{
    btnDeleteImage->setEnabled(true);
    listImagePath->setCurrentItem(item);
}

void ZelShadingCorrection::allocateMap()
{
    m_map = ZelBlockShadingMap();
    btnUploadMapToCam->setEnabled(false);
    btnSaveMapToFile->setEnabled(false);
}

bool ZelShadingCorrection::generateMap()
{
    allocateMap();
    m_map = ZelBlockShadingMap::generate(lblMeanImage->image(), m_offsetX, m_offsetY);
    return !m_map.isEmpty();
}

void ZelShadingCorrection::on_btnGenerateMap_clicked()
{
    ZelWaitCursor wait;
    const bool locked = isParamLocked();
    btnUploadMapToCam->setEnabled(false);
    btnSaveMapToFile->setEnabled(false);
    if (lblMeanImage->image().isNull() || m_accumulator.count() == 0) {
        ZelDialogs::information(this, QStringLiteral(" Generate Map  "),
                                QStringLiteral("generate map failed: missing image parameters"));
        return;
    }
    if (generateMap()) {
        ZelDialogs::information(this, QStringLiteral("Generate Map"), QStringLiteral(" generate map successful!"));
        btnSaveMapToFile->setEnabled(true);
        btnUploadMapToCam->setEnabled(!locked);
    } else {
        ZelDialogs::critical(this, QStringLiteral("Generate Map"), QStringLiteral(" generate map failed!"));
    }
}

void ZelShadingCorrection::on_btnSaveMapToFile_clicked()
{
    if (exportMap())
        ZelDialogs::information(this, QStringLiteral("Save Map"), QStringLiteral("save to file  successful!"));
}

bool ZelShadingCorrection::exportMap()
{
    const QString folder = m_access.storedFolder();
    const QString name =
        ZelDialogs::getSaveFileName(nullptr, QStringLiteral("Export Map "), folder, QStringLiteral("txt (*.txt)"));
    QFile file(name);
    if (name.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    bool written = true;
    if (!m_map.isEmpty()) {
        const QByteArray text = m_map.toText().toUtf8();
        written = file.write(text) == text.size();
    }
    written = file.flush() && written && file.error() == QFileDevice::NoError;
    file.close();
    m_access.rememberFolder(name);
    if (!written)
        ZelDialogs::critical(this, QStringLiteral("Save Map"), QStringLiteral("save to file  failed!"));
    return written;
}

void ZelShadingCorrection::sensorGrid(int* columns, int* rows)
{
    *columns = *rows = 0;
    qint64 width = 0, height = 0;
    if (!sensorSize(&width, &height))
        return;
    *columns = ZelBlockShadingMap::gridColumns(int(width), m_offsetX);
    *rows = ZelBlockShadingMap::gridRows(int(height), m_offsetY);
}

bool ZelShadingCorrection::importMap()
{
    const QString folder = m_access.storedFolder();
    const QString name =
        ZelDialogs::getOpenFileName(nullptr, QStringLiteral("Import Map"), folder, QStringLiteral("txt (*.txt)"));
    // A cancelled dialog is no failure.
    if (name.isEmpty())
        return false;
    // Each refusal names the file and what is wrong with it.
    const auto refuse = [&](const QString& title, const QString& text, const QString& why) {
        ZelDialogs::critical(ZelCorrectionMapAccess::messageParent(this), title,
                             text + QStringLiteral("\n\n") + QDir::toNativeSeparators(name) + QStringLiteral("\n") + why);
        return false;
    };
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return refuse(QStringLiteral("Load Map"), QStringLiteral("  Load Map Failed: cannot open the file"),
                      file.errorString());
    QTextStream stream(&file);
    const QString text = stream.read(ZelBlockShadingMap::maxTextLength);
    int columns = 0, rows = 0;
    sensorGrid(&columns, &rows);
    ZelBlockShadingMap map;
    QString reason;
    switch (map.parse(text, columns, rows, &reason)) {
    case ZelBlockShadingMap::ParseResult::Loaded:
        break;
    case ZelBlockShadingMap::ParseResult::Comment:
        return refuse(QStringLiteral("Load Map "), QStringLiteral("  Load Map Failed:  invalid map"), reason);
    case ZelBlockShadingMap::ParseResult::TooFewFields:
        return refuse(QStringLiteral("Load Map"), QStringLiteral("  Load Map Failed:  invalid map"), reason);
    default:
        return refuse(QStringLiteral("Load Map"), QStringLiteral("  Load Map Failed: invalid map"), reason);
    }
    allocateMap();
    m_map = std::move(map);
    m_access.rememberFolder(name);
    return true;
}

bool ZelShadingCorrection::uploadMap()
{
    if (m_map.isEmpty()) {
        ZelDialogs::information(this, QStringLiteral("Upload Map"), QStringLiteral(" upload failed: empty map"));
        return false;
    }
    const int count = m_map.count();
    for (int i = 1; i < count; i += 2)
        emit actionViewerUpdateProcessBar(false, int(qint64(100) * i / count));
    if (count % 2)
        emit actionViewerUpdateProcessBar(false, int(qint64(100) * (count - 1) / count));
    const QByteArray bytes = m_map.pack(m_access.bigEndian());
    const auto write = [&](int offset, int length) {
        return m_access.writeBytes(mapAddress + quint32(offset), bytes.constData() + offset, size_t(length));
    };
    return uploadChunks(bytes, chunkSize, 2 * qint64(count), write, QStringLiteral("Upload Map"), [](int length) {
        return length == chunkSize ? QStringLiteral(" upload failed") : QStringLiteral("upload failed");
    });
}

void ZelShadingCorrection::on_btnUploadMapToCam_clicked()
{
    if (m_access.mayUpload(this))
        uploadMap();
}
