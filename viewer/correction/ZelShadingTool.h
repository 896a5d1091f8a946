#ifndef ZELSHADINGTOOL_H
#define ZELSHADINGTOOL_H

#include "ZelMeanImageAccumulator.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <functional>

class QListWidget;
class QPushButton;
class ZelFeatureManager;
class ZelPixmapLabel;

// What the block and the non-uniform shading windows share: the camera's
// shading features, the refusal to upload while streaming, the shading
// folder of their file dialogs and the lists of averaged BMP images.
class ZelShadingTool : public QWidget
{
    Q_OBJECT

public:
    ~ZelShadingTool() override;

    bool getMapSelect(QVariant& value);
    void setMapSelect(const QVariant& value);
    bool getCorrectionEnabled(bool* enabled);
    void setCorrectionEnabled(bool enabled);
    // TLParamsLocked reads exactly 1 (the camera streams).
    bool isParamLocked();

    bool isBigEndian() const { return m_bigEndian; }
    QString shadingFolder() const { return m_folder; }
    // The size every image must have; empty while no image is held.
    QSize imageSize() const { return m_imageSize; }

signals:
    void actionViewerUpdateProcessBar(bool done, int percent);

protected:
    ZelShadingTool(ZelFeatureManager* deviceRegisters, ZelFeatureManager* remoteDevice, bool bigEndian,
                   QWidget* parent);

    // One list of images with its mean.
    struct ImageInput {
        QListWidget* list = nullptr;
        QPushButton* deleteButton = nullptr;
        ZelPixmapLabel* label = nullptr;
        std::function<ZelMeanImageAccumulator::Result(QImage& mean, const QImage& image, int a)> accumulate;
        std::function<int()> count;
        // Called when the list becomes empty.
        std::function<void()> reset;
        QString incompatibleText;   // appended to the path
        bool reportFailedReload = true;
        bool reportSetImage = false;
    };

    // Asks for BMP files and adds those the list does not hold yet.
    void addImageFiles(ImageInput& input);
    bool addImage(const QString& path, ImageInput& input);
    // Takes the selected images out again and drops their entries.
    void removeSelectedImages(ImageInput& input);
    // Called when a list became empty; the recorded size goes when every
    // list is empty.
    virtual bool anyImages() const = 0;

    // The shading folder as the settings hold it now.
    static QString storedFolder();
    // Stores the folder of a chosen file when it differs from the held one.
    void rememberFolder(const QString& chosenFile);
    // The upload refusal while the camera streams; true when it may go on.
    bool mayUpload();
    // A failed upload takes the camera window's progress display down.
    void uploadFailed(const QString& title, const QString& text);

    // One 32-bit word of the device registers in host order.
    bool readRegisterWord(quint32 address, quint32& value);
    // Writes raw bytes into the device registers.
    bool writeRegisters(quint32 address, const QByteArray& bytes, int offset, int length);

    ZelFeatureManager* m_deviceRegisters = nullptr;
    ZelFeatureManager* m_remoteDevice = nullptr;
    bool m_bigEndian = true;
    QString m_folder;
    QSize m_imageSize;

private:
    static QByteArray fingerprint(const QByteArray& fileBytes);
};

#endif // ZELSHADINGTOOL_H
