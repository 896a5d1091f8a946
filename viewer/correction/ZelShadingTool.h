#ifndef ZELSHADINGTOOL_H
#define ZELSHADINGTOOL_H

#include "ZelCorrectionMapAccess.h"
#include "ZelMeanImageAccumulator.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <functional>

class QBoxLayout;
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

    bool isBigEndian() const { return m_access.bigEndian(); }
    QString shadingFolder() const { return m_access.folder(); }
    // The size every image must have; empty while no image is held.
    QSize imageSize() const { return m_imageSize; }

signals:
    void actionViewerUpdateProcessBar(bool done, int percent);

protected:
    ZelShadingTool(ZelFeatureManager* deviceRegisters, ZelFeatureManager* remoteDevice, bool bigEndian,
                   QWidget* parent);

    // Form pieces both windows have. The list of image paths with its Add
    // and Delete buttons beside it, added to `layout`:
    void addImageListRow(QBoxLayout* layout, QWidget* parent, const QString& listName, const QString& addName,
                         const QString& deleteName, QListWidget** list, QPushButton** add, QPushButton** remove);
    // The framed mean image; in its own frame when frameName is given.
    ZelPixmapLabel* addMeanImage(QBoxLayout* layout, QWidget* parent, const QString& labelName,
                                 const QString& frameName = QString());
    // The right-aligned row of the generate, upload and save buttons; upload
    // and save start disabled.
    void addMapButtons(QBoxLayout* layout, const QString& generateText, const QString& uploadText,
                       const QString& saveText, int minimumWidth, QPushButton** generate, QPushButton** upload,
                       QPushButton** save);

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

    // WidthMax and HeightMax of the camera; false when unreadable.
    bool sensorSize(qint64* width, qint64* height);
    // Writes the packed map chunk by chunk through `write` (offset, length),
    // with the progress of each chunk's offset within `total` bytes; a failed
    // chunk is reported under `title` with failText(length), takes the
    // camera window's progress display down and ends the upload. The
    // correction goes on only after the whole map is written.
    bool uploadChunks(const QByteArray& bytes, int chunkSize, qint64 total,
                      const std::function<bool(int offset, int length)>& write, const QString& title,
                      const std::function<QString(int length)>& failText);

    ZelCorrectionMapAccess m_access;
    QSize m_imageSize;

private:
    static QByteArray fingerprint(const QByteArray& fileBytes);
};

#endif // ZELSHADINGTOOL_H
