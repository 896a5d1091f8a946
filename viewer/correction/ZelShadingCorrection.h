#ifndef ZELSHADINGCORRECTION_H
#define ZELSHADINGCORRECTION_H

#include "ZelBlockShadingMap.h"
#include "ZelMeanImageAccumulator.h"
#include "ZelShadingTool.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The block shading window of one camera: averages evenly lit BMP images,
// derives a gain per 16 × 16 block, saves and loads such maps as text and
// writes them into the camera's shading memory.
class ZelShadingCorrection : public ZelShadingTool
{
    Q_OBJECT

public:
    ZelShadingCorrection(ZelFeatureManager* deviceRegisters, ZelFeatureManager* remoteDevice,
                         const QString& cameraName, bool bigEndian, QWidget* parent = nullptr);
    ~ZelShadingCorrection() override;

    bool importMap();
    bool uploadMap();
    bool exportMap();

    int revision() const { return m_revision; }
    int gridOffsetX() const { return m_offsetX; }
    int gridOffsetY() const { return m_offsetY; }
    const ZelBlockShadingMap& map() const { return m_map; }
    const ZelMeanImageAccumulator& accumulator() const { return m_accumulator; }

    static constexpr quint32 mapAddress = 0x10100000;
    static constexpr int chunkSize = 504;

private slots:
    void on_btnAddImage_clicked();
    void on_btnDeleteImage_clicked();
    void on_btnGenerateMap_clicked();
    void on_btnSaveMapToFile_clicked();
    void on_btnUploadMapToCam_clicked();
    void on_listImagePath_itemPressed(QListWidgetItem* item);

private:
    void buildForm();
    bool generateMap();
    void allocateMap();
    bool anyImages() const override { return m_accumulator.count() > 0; }
    // The sensor's block grid; 0 when WidthMax or HeightMax cannot be read.
    void sensorGrid(int* columns, int* rows);

    QLabel* label_3 = nullptr;
    QListWidget* listImagePath = nullptr;
    QPushButton* btnAddImage = nullptr;
    QPushButton* btnDeleteImage = nullptr;
    QLabel* label_5 = nullptr;
    ZelPixmapLabel* lblMeanImage = nullptr;
    QPushButton* btnGenerateMap = nullptr;
    QPushButton* btnUploadMapToCam = nullptr;
    QPushButton* btnSaveMapToFile = nullptr;

    ImageInput m_input;
    ZelMeanImageAccumulator m_accumulator;
    ZelBlockShadingMap m_map;
    int m_revision = 0;
    int m_offsetX = 0;
    int m_offsetY = 0;
};

#endif // ZELSHADINGCORRECTION_H
