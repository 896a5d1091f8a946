#ifndef ZELCOLORCORRECTION_H
#define ZELCOLORCORRECTION_H

#include "OrvSdk.h"

#include <QColor>
#include <QGraphicsScene>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>
#include <QWidget>

namespace Ui {
class ZelColorCorrection;
}
class QGraphicsRectItem;
class QSettings;
class ZelFeatureManager;

// The chart the operator drags over a colour chart image: 6 x 4 cells, each
// with a patch square centred in it. Scene coordinates are image pixels.
class CustomScene : public QGraphicsScene
{
    Q_OBJECT

public:
    explicit CustomScene(QObject* parent = nullptr);

    // Removes the chart and everything else (the image too).
    void reset();
    // The chart's patch squares in chart order; data slot 0 of each holds
    // the top left pixel it is measured from.
    QList<QGraphicsRectItem*> patches() const;
    QGraphicsRectItem* chart() const { return m_chart; }

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;

private:
    void newChart();
    // Lays the cells and squares out over the drag rectangle; nothing for a
    // drag to the left or upwards.
    void layoutChart();

    QGraphicsRectItem* m_chart = nullptr;
    QRectF m_drag;
    QPointF m_press;
};

// The colour correction assistant of one colour camera: measures the 24
// patches of a colour chart image, fits a gain matrix with offsets to the
// chosen profile and writes them into the camera's colour transformation.
// Closing only hides it.
class ZelColorCorrection : public QWidget
{
    Q_OBJECT

public:
    struct Profile {
        QString name;
        QVector<QColor> colours;
        QVector<double> weights;
    };

    ZelColorCorrection(ZelFeatureManager* remoteDevice, QString cameraName, QWidget* parent = nullptr);
    ~ZelColorCorrection() override;

    // Takes over the record's pixel block (a copy of a displayed image,
    // four bytes per pixel: blue, green, red and one ignored). Any other
    // record is refused with a message and its block freed.
    void setSourceImage(ORV_BUFFER_INFO* image);

    // Fits the twelve values and the corrected colours to the measured
    // colours and the selected profile; false, outputs unchanged, when the
    // inputs do not hold 24 patches or the patches cannot give a fit.
    // Clipped patches (a channel at 0 or 255) are left out of the fit.
    bool fitMatrix();
    void measurePatches();
    void readProfiles(QSettings* store);

    // Inputs and outputs of the fit.
    QVector<QColor> measuredColours() const { return m_measured; }
    // Patches set here are clipped when a channel of their colour is.
    void setMeasuredColours(const QVector<QColor>& colours);
    // Whether each measured patch is clipped (a pixel with a channel at 0
    // or 255, or outside the image).
    QVector<bool> clippedPatches() const { return m_clipped; }
    // The patches the last fit left out, and the result view's text on them.
    QVector<bool> leftOutPatches() const { return m_leftOut; }
    int leftOutCount() const;
    QString leftOutText() const;
    QVector<QColor> correctedColours() const { return m_corrected; }
    QVector<double> matrixValues() const { return m_matrix; }
    QList<Profile> profiles() const { return m_profiles; }
    void setProfiles(const QList<Profile>& profiles) { m_profiles = profiles; }
    int profileIndex() const { return m_profileIndex; }
    void setProfileIndex(int index) { m_profileIndex = index; }

    QImage sourceImage() const { return m_source; }
    int viewMode() const { return m_viewMode; }
    CustomScene* chartScene() const { return m_chartScene; }
    QGraphicsScene* resultScene() const { return m_resultScene; }

signals:
    void importLiveImg();

private slots:
    void on_GenerateCCM_clicked();
    void on_EnableCCM_stateChanged(int state);
    void on_Viewer_currentIndexChanged(int index);
    void on_Profile_currentIndexChanged(int index);
    void on_pushButton_clicked();

public:
    // "Import Local Image": loads a file and shows the source image.
    void on_loadLocalImg_clicked();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    bool loadLocalImage();
    void showSource(const QImage& image);
    void showMode(int mode);
    void updateView();
    void fillResultScene();
    void fillMatrixTable();
    void freeHeld();

    Ui::ZelColorCorrection* ui;
    ZelFeatureManager* m_remote;
    CustomScene* m_chartScene;
    QGraphicsScene* m_resultScene;
    int m_viewMode = 0;
    QImage m_source;
    QPixmap m_pixmap;
    ORV_BUFFER_INFO m_held{};
    QList<Profile> m_profiles;
    int m_profileIndex = -1;
    QVector<QColor> m_measured;
    QVector<bool> m_clipped;
    QVector<bool> m_leftOut;
    QVector<QColor> m_corrected;
    QVector<double> m_matrix;
    QString m_imageFolder;
};

#endif // ZELCOLORCORRECTION_H
