#include "ZelNUShadingCorrection.h"

#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelPixmapLabel.h"
#include "ZelUtil.h"
#include "ZelWaitCursor.h"
#include "ZelTrace.h"

#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <new>

namespace {

const QString defaultGain = QString::number(1.1, 'g', 6);
const QString defaultOffset = QStringLiteral("16");

} // namespace

ZelNUShadingCorrection::ZelNUShadingCorrection(ZelFeatureManager* deviceRegisters, ZelFeatureManager* remoteDevice,
                                               const QString& cameraName, bool bigEndian, QWidget* parent)
    : ZelShadingTool(deviceRegisters, remoteDevice, bigEndian, parent)
{
    buildForm();
    setWindowTitle(QStringLiteral("Non Uniform Shading Correction (") + cameraName + QStringLiteral(")"));
    setUpInput(m_darkInput, m_dark, listDarkImagePath, btnDeleteDarkImage, lblMeanImageDark);
    setUpInput(m_brightInput, m_bright, listBrightImagePath, btnDeleteBrightImage, lblMeanImageBright);
}

ZelNUShadingCorrection::~ZelNUShadingCorrection() = default;

void ZelNUShadingCorrection::setUpInput(ImageInput& input, ZelShadingImageSet& set, QListWidget* list,
                                        QPushButton* remove, ZelPixmapLabel* meanImage)
{
    input.list = list;
    input.deleteButton = remove;
    input.label = meanImage;
    input.accumulate = [&set](QImage& mean, const QImage& image, int a) { return set.accumulate(mean, image, a); };
    input.count = [&set] { return set.number(); };
    // An emptied set takes the map built from it along.
    input.reset = [this, &set] {
        set.reset();
        m_map.clear();
    };
    input.incompatibleText = QStringLiteral(": incompatible image!");
    input.reportFailedReload = false;
}

QWidget* ZelNUShadingCorrection::buildTab(const QString& name, const QString& labelName, const QString& listName,
                                          const QString& addName, const QString& deleteName,
                                          const QString& meanLabelName, const QString& frameName,
                                          const QString& meanImageName, QListWidget** list, QPushButton** add,
                                          QPushButton** remove, ZelPixmapLabel** meanImage)
{
    auto* tab = new QWidget;
    tab->setObjectName(name);
    auto* layout = new QVBoxLayout(tab);
    auto* label = new QLabel(QStringLiteral(" Image Paths:"), tab);
    label->setObjectName(labelName);
    layout->addWidget(label);
    addImageListRow(layout, tab, listName, addName, deleteName, list, add, remove);
    auto* meanLabel = new QLabel(QStringLiteral("Resulting Mean Image:"), tab);
    meanLabel->setObjectName(meanLabelName);
    layout->addWidget(meanLabel);
    *meanImage = addMeanImage(layout, tab, meanImageName, frameName);
    return tab;
}

void ZelNUShadingCorrection::buildForm()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ZelNUShadingCorrection"));
    resize(480, 620);
    setMinimumSize(480, 620);
    setLocale(QLocale(QLocale::English, QLocale::Germany));

    auto* layout = new QVBoxLayout(this);
    tabWidget = new QTabWidget(this);
    tabWidget->setObjectName(QStringLiteral("tabWidget"));
    tabWidget->addTab(buildTab(QStringLiteral("tabDarkInput"), QStringLiteral("label_2"),
                               QStringLiteral("listDarkImagePath"), QStringLiteral("btnAddDarkImage"),
                               QStringLiteral("btnDeleteDarkImage"), QStringLiteral("label_5"),
                               QStringLiteral("frameMeanImageDark"), QStringLiteral("lblMeanImageDark"),
                               &listDarkImagePath, &btnAddDarkImage, &btnDeleteDarkImage, &lblMeanImageDark),
                      QStringLiteral("Dark Image Input Parameters"));
    tabWidget->addTab(buildTab(QStringLiteral("tabBrightInput"), QStringLiteral("label_11"),
                               QStringLiteral("listBrightImagePath"), QStringLiteral("btnAddBrightImage"),
                               QStringLiteral("btnDeleteBrightImage"), QStringLiteral("label_10"),
                               QStringLiteral("frameMeanImageBright"), QStringLiteral("lblMeanImageBright"),
                               &listBrightImagePath, &btnAddBrightImage, &btnDeleteBrightImage, &lblMeanImageBright),
                      QStringLiteral("Bright Image Input Parameters"));
    tabWidget->setCurrentIndex(0);
    layout->addWidget(tabWidget, 1);

    auto* targets = new QGridLayout;
    auto* offsetLabel = new QLabel(QStringLiteral("Target Offset:"), this);
    offsetLabel->setObjectName(QStringLiteral("TargetOffsetLabel"));
    offsetLabel->setToolTip(QStringLiteral("Target Offset is being applied to the dark images, this is the mean pixel "
                                           "value which the camera reaches in a dark scene (Lens Cap on)"));
    TargetOffsetEdit = new QLineEdit(defaultOffset, this);
    TargetOffsetEdit->setObjectName(QStringLiteral("TargetOffsetEdit"));
    TargetOffsetEdit->setMaximumWidth(100);
    auto* gainLabel = new QLabel(QStringLiteral("Target Gain Factor:"), this);
    gainLabel->setObjectName(QStringLiteral("TargetGainLabel"));
    gainLabel->setToolTip(QStringLiteral("<html><head/><body><p>Target Gain Factor is being applied to the bright "
                                         "images, so the camera reaches saturation in a bright scene.</p></body></html>"));
    TargetGainEdit = new QLineEdit(defaultGain, this);
    TargetGainEdit->setObjectName(QStringLiteral("TargetGainEdit"));
    TargetGainEdit->setMaximumWidth(100);
    Reset = new QPushButton(QStringLiteral("Restore Default Target Parameters"), this);
    Reset->setObjectName(QStringLiteral("Reset"));
    targets->addWidget(offsetLabel, 0, 0);
    targets->addWidget(TargetOffsetEdit, 1, 0);
    targets->addWidget(gainLabel, 0, 1);
    targets->addWidget(TargetGainEdit, 1, 1);
    targets->addWidget(Reset, 1, 2);
    targets->setColumnStretch(3, 1);
    layout->addLayout(targets);

    addMapButtons(layout, QStringLiteral("Generate NUC Map"), QStringLiteral("Upload NUC Map To Camera"),
                  QStringLiteral("Save NUC Map To File"), 115, &btnGenerateMap, &btnUploadMapToCam,
                  &btnSaveMapToFile);

    ZelUtil::FitToContents(this);
    QMetaObject::connectSlotsByName(this);
}

void ZelNUShadingCorrection::on_btnAddDarkImage_clicked() { addImageFiles(m_darkInput); }
void ZelNUShadingCorrection::on_btnAddBrightImage_clicked() { addImageFiles(m_brightInput); }
void ZelNUShadingCorrection::on_btnDeleteDarkImage_clicked() { removeSelectedImages(m_darkInput); }
void ZelNUShadingCorrection::on_btnDeleteBrightImage_clicked() { removeSelectedImages(m_brightInput); }

void ZelNUShadingCorrection::on_listDarkImagePath_itemPressed(QListWidgetItem* item)
{
    btnDeleteDarkImage->setEnabled(true);
    listDarkImagePath->setCurrentItem(item);
}

void ZelNUShadingCorrection::on_listBrightImagePath_itemPressed(QListWidgetItem* item)
{
    btnDeleteBrightImage->setEnabled(true);
    listBrightImagePath->setCurrentItem(item);
}

void ZelNUShadingCorrection::on_Reset_clicked()
{
    TargetGainEdit->setText(defaultGain);
    TargetOffsetEdit->setText(defaultOffset);
}

void ZelNUShadingCorrection::on_TargetGainEdit_editingFinished()
{
    bool ok = false;
    TargetGainEdit->text().toFloat(&ok);
    if (!ok)
        TargetGainEdit->setText(defaultGain);
}

void ZelNUShadingCorrection::on_TargetOffsetEdit_editingFinished()
{
    bool ok = false;
    TargetOffsetEdit->text().toUShort(&ok, 10);
    if (!ok)
        TargetOffsetEdit->setText(defaultOffset);
}

bool ZelNUShadingCorrection::generateMap()
{
    bool ok = false;
    float factor = TargetGainEdit->text().toFloat(&ok);
    if (!ok)
        factor = 1.1f;
    quint16 target = TargetOffsetEdit->text().toUShort(&ok, 10);
    if (!ok)
        target = 16;
    for (ZelShadingImageSet* set : {&m_dark, &m_bright}) {
        set->gainFactor = factor;
        set->targetOffset = target;
    }
    ZelNUShadingMap map;
    try {
        map.offsets = m_dark.computeOffsets();
        if (!m_bright.computeGain(map.offsets, map.gains))
            return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    map.width = m_bright.width();
    map.height = m_bright.height();
    m_map = std::move(map);
    return true;
}

void ZelNUShadingCorrection::on_btnGenerateMap_clicked()
{
    const bool locked = isParamLocked();
    btnSaveMapToFile->setEnabled(false);
    btnUploadMapToCam->setEnabled(false);
    if (m_dark.number() == 0) {
        ZelDialogs::information(this, QStringLiteral(" Generate Map  "),
                                QStringLiteral("generate map failed: missing dark image parameter!"));
        return;
    }
    if (m_bright.number() == 0) {
        ZelDialogs::information(this, QStringLiteral(" Generate Map  "),
                                QStringLiteral("generate map failed: missing bright image parameter!"));
        return;
    }
    bool generated;
    {
        ZelWaitCursor wait;
        generated = generateMap();
    }
    if (generated) {
        btnSaveMapToFile->setEnabled(true);
        btnUploadMapToCam->setEnabled(!locked);
        ZelDialogs::information(this, QStringLiteral("Generate Map"), QStringLiteral(" generate map successful!"));
    } else {
        ZelDialogs::critical(this, QStringLiteral("Generate Map"), QStringLiteral(" generate map failed!"));
    }
}

bool ZelNUShadingCorrection::SaveMap(const QString& path)
{
    return m_map.save(path);
}

void ZelNUShadingCorrection::on_btnSaveMapToFile_clicked()
{
    const QString name =
        ZelDialogs::getSaveFileName(nullptr, QStringLiteral("Export Map "), m_access.folder(), QStringLiteral("bin (*.bin)"));
    const bool saved = SaveMap(name);
    ZelDialogs::information(this, QStringLiteral("Save Map"),
                            saved ? QStringLiteral("save to file  successful!") : QStringLiteral("save to file  failed!"));
    m_access.rememberFolder(name);
}

bool ZelNUShadingCorrection::LoadMap()
{
    const QString name =
        ZelDialogs::getOpenFileName(nullptr, QStringLiteral("Import Map"), m_access.folder(), QStringLiteral("bin (*.bin)"));
    // A cancelled dialog is no failure.
    if (name.isEmpty())
        return false;
    QString reason;
    const ZelNUShadingMap::LoadResult result = m_map.load(name, &reason);
    m_access.rememberFolder(name);
    if (result != ZelNUShadingMap::LoadResult::Loaded) {
        ZelDialogs::critical(ZelCorrectionMapAccess::messageParent(this), QStringLiteral("Load Map"),
                             QStringLiteral("Load Map failed!\n\n") + QDir::toNativeSeparators(name) +
                                 QStringLiteral("\n") + reason);
        return false;
    }
    return true;
}

bool ZelNUShadingCorrection::upload_shading_map()
{
    // The register feature lives on the remote device, which also writes it.
    ZelFeatureManager* remote = m_access.remoteDevice();
    ORV_FEATURE_HANDLE buffer = remote ? remote->FindByName("Shading_MapBuffer") : 0;
    if (!buffer)
        ZelTrace(8, "%s Shading_MapBuffer feature not found", "ZelNUShadingCorrection::upload_shading_map");
    if (m_map.isEmpty()) {
        ZelDialogs::information(this, QStringLiteral("Upload Map"), QStringLiteral(" upload failed: missing maps"));
        return false;
    }
    qint64 width = 0, height = 0;
    if (!sensorSize(&width, &height) || width != m_map.width || height != m_map.height) {
        ZelDialogs::information(this, QStringLiteral("Upload NUC Map"),
                                QStringLiteral("upload failed: the map has %1 x %2 pixels, the camera expects %3 x %4")
                                    .arg(m_map.width)
                                    .arg(m_map.height)
                                    .arg(width)
                                    .arg(height));
        return false;
    }
    const QByteArray bytes = m_map.pack(m_access.bigEndian());
    const auto write = [&](int offset, int length) {
        size_t size = size_t(length);
        return buffer ? remote->SetBuffer(buffer, bytes.constData() + offset, &size, quint32(offset))
                      : m_access.writeBytes(mapAddress + quint32(offset), bytes.constData() + offset, size);
    };
    return uploadChunks(bytes, chunkSize, bytes.size(), write, QStringLiteral("Upload NUC Map"),
                        [](int) { return QStringLiteral("upload failed"); });
}

void ZelNUShadingCorrection::on_btnUploadMapToCam_clicked()
{
    if (m_access.mayUpload(this))
        upload_shading_map();
}
