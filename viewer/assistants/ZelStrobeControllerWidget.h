#ifndef ZELSTROBECONTROLLERWIDGET_H
#define ZELSTROBECONTROLLERWIDGET_H

#include "OrvSdk.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QToolButton;
class ZelDoubleSliderBox;
class ZelFeatureManager;
class ZelInvalidationHold;
class ZelLineStatusBar;
class ZelStrobeControlPlot;

// Delay, duration and polarity of each strobe output of one camera, beside
// a timing diagram of the exposure and the pulses. Edits are written at
// once; the camera's own changes are shown without being written back.
// Deletes itself when closed.
class ZelStrobeControllerWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int rowCount = 4;

    ZelStrobeControllerWidget(ZelFeatureManager* remoteDevice, QString cameraName, QWidget* parent = nullptr);
    ~ZelStrobeControllerWidget() override;

    struct Form {
        QGroupBox* groupBox;
        ZelStrobeControlPlot* StrobeControlPlot;
        QGroupBox* grpStrobeControl;
        QLabel* lblStrobe[rowCount];
        QCheckBox* cmbInv[rowCount];
        ZelDoubleSliderBox* sbDuration[rowCount];
        ZelDoubleSliderBox* sbDelay[rowCount];
        QComboBox* cmbLineStyle[rowCount];
        QToolButton* btnColor[rowCount];
        ZelLineStatusBar* statusBar;
    };
    const Form& form() const { return ui; }

private slots:
    void _onDurationValueChange(double value);
    void _onDelayValueChange(double value);
    void _onInvCheckBoxChange(bool bChecked);
    void _onLineStyleCheckBoxChange(int index);
    void _onColorButtonClicked(bool bChecked);
    void _onFeatureInvalidated(QString featureName);
    void _onLineHovered(QString lineId, QString state, QString timeStamp);

private:
    // The written settings of a row; polarity as its entry index.
    enum class Setting { Duration, Delay, Polarity, Count };

    void buildForm();
    void readCamera();
    void fillRow(int row, const QString& name, double duration, double durationMax, double delay, double delayMax,
                 bool positive);
    void setUpLineStyles();
    void setUpColors();
    void setRowColor(int row, const QColor& color);
    // The row of a control of one of the given arrays; -1 for none.
    template <typename Control>
    int rowOf(Control* const (&controls)[rowCount], QObject* sender) const;
    // Writes the row's setting after selecting its output; on refusal the
    // control and lane go back.
    void writeSetting(int row, Setting setting, double value);
    // Shows a setting in the row's control (signals blocked) and lane.
    void showSetting(int row, Setting setting, double value);
    QString laneName(int row) const;

    Form ui{};
    ZelFeatureManager* featureManager;
    ORV_FEATURE_HANDLE strobeSelector = 0;
    ORV_FEATURE_HANDLE strobeDuration = 0;
    ORV_FEATURE_HANDLE strobeDelay = 0;
    ORV_FEATURE_HANDLE exposureTime = 0;
    ORV_FEATURE_HANDLE strobePolarity = 0;
    // What each row shows, so that a refused write can put it back.
    double shown[rowCount][int(Setting::Count)] = {};
    // Callbacks of the strobe settings, whether or not the tree shows them.
    std::unique_ptr<ZelInvalidationHold> settingCallbacks;
};

#endif // ZELSTROBECONTROLLERWIDGET_H
