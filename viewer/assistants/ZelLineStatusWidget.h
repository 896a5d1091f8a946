#ifndef ZELLINESTATUSWIDGET_H
#define ZELLINESTATUSWIDGET_H

#include "OrvSdk.h"

#include <QList>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QSpinBox;
class QToolButton;
class ZelFeatureManager;
class ZelLineStatusBar;
class ZelLineStatusPlot;

// Plots the levels of up to eight I/O lines of one camera over time,
// sampled from LineStatusAll on a timer. The line of each graph is chosen
// by name and remembered in the settings. Deletes itself when closed.
class ZelLineStatusWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int graphCount = 8;

    ZelLineStatusWidget(ZelFeatureManager* remoteDevice, QString cameraName, QWidget* parent = nullptr);
    ~ZelLineStatusWidget() override;

    struct Form {
        QGroupBox* groupBox;
        ZelLineStatusPlot* LineStatusPlot;
        QGroupBox* groupBox_3;
        QToolButton* btnStart;
        QToolButton* btnPause;
        QToolButton* btnReset;
        QLabel* label_9;
        QSpinBox* spinInterval;
        QGroupBox* groupBox_2;
        QComboBox* cmbGraph[graphCount];
        ZelLineStatusBar* statusBar;
    };
    const Form& form() const { return ui; }
    const QTimer& samplingTimer() const { return timer; }

private slots:
    void _onTimeOut();
    void _onCmbGraph1Changed(QString name);
    void _onCmbGraph2Changed(QString name);
    void _onCmbGraph3Changed(QString name);
    void _onCmbGraph4Changed(QString name);
    void _onCmbGraph5Changed(QString name);
    void _onCmbGraph6Changed(QString name);
    void _onCmbGraph7Changed(QString name);
    void _onCmbGraph8Changed(QString name);
    void _onLineHovered(QString lineId, QString state, QString timeStamp);
    void on_btnStart_clicked();
    void on_btnPause_clicked();
    void on_btnReset_clicked();
    void on_spinInterval_valueChanged(int arg1);

private:
    void buildForm();
    void setUpLines();
    void graphChanged(int lane, const QString& name);

    Form ui{};
    QStringList lineNames;
    QList<qint64> lineValues;
    ZelFeatureManager* featureManager;
    ORV_FEATURE_HANDLE lineSelector = 0;
    ORV_FEATURE_HANDLE lineStatusAll = 0;
    QTimer timer;
};

#endif // ZELLINESTATUSWIDGET_H
