#ifndef ZELNUSHADINGCORRECTION_H
#define ZELNUSHADINGCORRECTION_H

#include "ZelNUShadingMap.h"
#include "ZelShadingImageSet.h"
#include "ZelShadingTool.h"

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;

// The non-uniform shading window of one camera: dark and bright BMP images
// averaged into an offset and a gain per pixel, saved to and loaded from a
// map file and written into the camera.
class ZelNUShadingCorrection : public ZelShadingTool
{
    Q_OBJECT

public:
    ZelNUShadingCorrection(ZelFeatureManager* deviceRegisters, ZelFeatureManager* remoteDevice,
                           const QString& cameraName, bool bigEndian, QWidget* parent = nullptr);
    ~ZelNUShadingCorrection() override;

    bool LoadMap();
    bool SaveMap(const QString& path);
    bool upload_shading_map();
    bool generateMap();

    const ZelNUShadingMap& map() const { return m_map; }
    const ZelShadingImageSet& darkSet() const { return m_dark; }
    const ZelShadingImageSet& brightSet() const { return m_bright; }

    static constexpr quint32 mapAddress = 0x10100000;
    static constexpr int chunkSize = 512;

private slots:
    void on_btnAddDarkImage_clicked();
    void on_btnAddBrightImage_clicked();
    void on_btnDeleteDarkImage_clicked();
    void on_btnDeleteBrightImage_clicked();
    void on_listDarkImagePath_itemPressed(QListWidgetItem* item);
    void on_listBrightImagePath_itemPressed(QListWidgetItem* item);
    void on_btnGenerateMap_clicked();
    void on_btnSaveMapToFile_clicked();
    void on_btnUploadMapToCam_clicked();
    void on_Reset_clicked();
    void on_TargetOffsetEdit_editingFinished();
    void on_TargetGainEdit_editingFinished();

private:
    void buildForm();
    QWidget* buildTab(const QString& name, const QString& labelName, const QString& listName,
                      const QString& addName, const QString& deleteName, const QString& meanLabelName,
                      const QString& frameName, const QString& meanImageName, QListWidget** list,
                      QPushButton** add, QPushButton** remove, ZelPixmapLabel** meanImage);
    void setUpInput(ImageInput& input, ZelShadingImageSet& set, QListWidget* list, QPushButton* remove,
                    ZelPixmapLabel* meanImage);
    bool anyImages() const override { return m_dark.number() > 0 || m_bright.number() > 0; }

    QTabWidget* tabWidget = nullptr;
    QListWidget* listDarkImagePath = nullptr;
    QListWidget* listBrightImagePath = nullptr;
    QPushButton* btnAddDarkImage = nullptr;
    QPushButton* btnAddBrightImage = nullptr;
    QPushButton* btnDeleteDarkImage = nullptr;
    QPushButton* btnDeleteBrightImage = nullptr;
    ZelPixmapLabel* lblMeanImageDark = nullptr;
    ZelPixmapLabel* lblMeanImageBright = nullptr;
    QLineEdit* TargetOffsetEdit = nullptr;
    QLineEdit* TargetGainEdit = nullptr;
    QPushButton* Reset = nullptr;
    QPushButton* btnGenerateMap = nullptr;
    QPushButton* btnUploadMapToCam = nullptr;
    QPushButton* btnSaveMapToFile = nullptr;

    ImageInput m_darkInput;
    ImageInput m_brightInput;
    ZelShadingImageSet m_dark;
    ZelShadingImageSet m_bright;
    ZelNUShadingMap m_map;
};

#endif // ZELNUSHADINGCORRECTION_H
