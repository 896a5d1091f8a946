#ifndef ZELDEFECTPIXELCORRECTION_H
#define ZELDEFECTPIXELCORRECTION_H

#include "ZelCorrectionMapAccess.h"
#include "ZelDefectImageSet.h"
#include "ZelDefectPixel.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVector>
#include <QWidget>

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSettings;
class QTabWidget;
class ZelFeatureManager;
class ZelPixmapLabel;

// One neighbourhood pattern of "deffmatch.ini": 5 × 5 cells around a defect
// (−1 any, 1 defect or outside the sensor, 0 good pixel) and its code.
struct ZelDefectMatchPattern
{
    int cells[25];
    int code;
};

// The defect pixel assistant of one camera: builds a defect map from mean
// dark and bright images, keeps it, writes it to and reads it from text
// files and the camera's map memory, and switches the camera's correction.
// The camera window also calls the map operations without showing it.
// Deletes itself when closed.
class ZelDefectPixelCorrection : public QWidget
{
    Q_OBJECT

public:
    ZelDefectPixelCorrection(ZelFeatureManager* deviceRegisters, ZelFeatureManager* remoteDevice, QString cameraName,
                             bool registerMode, QWidget* parent = nullptr);
    ~ZelDefectPixelCorrection() override;

    struct Form {
        QTabWidget* tabWidget;
        QWidget* tabDarkInput;
        QWidget* tabBrightInput;
        QLabel* label_2;
        QListWidget* listDarkImagePath;
        QPushButton* btnAddDarkImage;
        QPushButton* btnDeleteDarkImage;
        QLabel* label_5;
        QFrame* frameMeanImageDark;
        ZelPixmapLabel* lblMeanImageDark;
        QLabel* label_3;
        QLineEdit* txtAbsoluteThreshold;
        QLabel* label_11;
        QListWidget* listBrightImagePath;
        QPushButton* btnAddBrightImage;
        QPushButton* btnDeleteBrightImage;
        QLabel* label_10;
        QFrame* frameMeanImageBright;
        ZelPixmapLabel* lblMeanImageBright;
        QLabel* label_12;
        QLineEdit* txtRelativeThreshold;
        QPushButton* btnGenerateMap;
        QLabel* label_13;
        QLineEdit* txtDefectPixelCount;
        QPushButton* btnUploadMapToCam;
        QPushButton* btnSaveMapToFile;
    };
    const Form& form() const { return ui; }

    // Camera settings and transfers.
    bool getMapSelect(QVariant& value);
    void setMapSelect(const QVariant& value);
    void getCorrectionEnabled(bool& enabled);
    bool setCorrectionEnabled(bool enabled);
    bool downloadMap();
    bool uploadMap();
    bool importMap();
    bool exportMap();
    bool isParamLocked();
    void setBigEndian(bool bigEndian);

    // The map: absent until the first clearMap, then up to capacity entries.
    bool hasMap() const { return m_hasMap; }
    const QVector<ZelDefectPixel>& map() const { return m_map; }
    quint32 capacity() const { return m_capacity; }
    int revision() const { return m_revision; }
    bool isColor() const { return m_color; }
    const QList<ZelDefectMatchPattern>& matchPatterns() const { return m_patterns; }
    const ZelDefectImageSet& imageSet(int set) const { return set == 1 ? m_dark : m_bright; }
    QSize recordedSize() const { return QSize(m_width, m_height); }

    // Reads the patterns of a "deffmatch.ini" store; a malformed group
    // leaves none.
    void readMatchPatterns(QSettings* store);
    // The code of the first pattern that the 25 cells match, or −1.
    int matchPattern(const int cells[25]) const;
    // Revision 4: replaces each entry's value by the code of its
    // neighbourhood on a sensor of the given size.
    void assignPatternCodes(int sensorWidth, int sensorHeight);

signals:
    void actionViewerUpdateProcessBar(bool done, int percent);

private slots:
    void on_btnAddDarkImage_clicked();
    void on_btnAddBrightImage_clicked();
    void on_btnDeleteDarkImage_clicked();
    void on_btnDeleteBrightImage_clicked();
    void on_listDarkImagePath_itemPressed(QListWidgetItem* item);
    void on_listBrightImagePath_itemPressed(QListWidgetItem* item);
    void on_txtAbsoluteThreshold_editingFinished();
    void on_txtRelativeThreshold_editingFinished();
    void on_btnGenerateMap_clicked();
    void on_btnSaveMapToFile_clicked();
    void on_btnUploadMapToCam_clicked();

private:
    void buildForm();
    void clearMap();
    bool addEntry(int x, int y, int value);
    bool readMapSize(QVariant& value);
    bool readMapMaxSize(QVariant& value);
    bool clearCameraMap(const QVariant& map);
    bool generateFromDarkAndBright();
    // The sensor's size in pixels, within what a map word can hold.
    QSize sensorSize() const;
    bool missingImages();
    void addEntriesOf(const ZelDefectImageSet& set);

    void addImageFiles(int set);
    bool addImage(const QString& path, int set);
    void removeSelectedImages(int set);
    void removeImage(const QString& path, int set);
    void deleteImages(int set);
    void itemPressed(int set, QListWidgetItem* item);
    bool uploadFailed(const QString& title, const QString& text);

    ZelDefectImageSet& setOf(int set) { return set == 1 ? m_dark : m_bright; }
    QListWidget* listOf(int set) const { return set == 1 ? ui.listDarkImagePath : ui.listBrightImagePath; }
    ZelPixmapLabel* labelOf(int set) const { return set == 1 ? ui.lblMeanImageDark : ui.lblMeanImageBright; }
    QPushButton* deleteOf(int set) const { return set == 1 ? ui.btnDeleteDarkImage : ui.btnDeleteBrightImage; }

    Form ui{};
    ZelCorrectionMapAccess m_access;
    bool m_registerMode;
    bool m_color = false;
    int m_revision = 3;

    bool m_hasMap = false;
    QVector<ZelDefectPixel> m_map;
    quint32 m_capacity = 0;

    int m_width = 0;
    int m_height = 0;
    ZelDefectImageSet m_dark;
    ZelDefectImageSet m_bright;
    // What each listed file held when it was added, so that a file changed
    // since is not taken out of the mean.
    QHash<QString, QByteArray> m_fileDigests[2];
    QList<ZelDefectMatchPattern> m_patterns;
};

#endif // ZELDEFECTPIXELCORRECTION_H
