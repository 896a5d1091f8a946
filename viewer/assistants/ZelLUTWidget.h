#ifndef ZELLUTWIDGET_H
#define ZELLUTWIDGET_H

#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;
class ZelFeatureManager;
class ZelLUTModel;
class ZelLUTView;

// The look-up table editor of one camera: reads the table of the current
// LUT selector entry, lets the operator edit it as a curve and writes it
// back with "Apply LUT Settings". Deletes itself when closed.
class ZelLUTWidget : public QWidget
{
    Q_OBJECT

public:
    ZelLUTWidget(ZelFeatureManager* remoteDevice, QString cameraName, QWidget* parent = nullptr);
    ~ZelLUTWidget() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

    // The form's controls, by their object names.
    struct Form {
        QComboBox* cmbLUTSelector;
        QCheckBox* chkEnable;
        QPushButton* btnInvert;
        QPushButton* btnImport;
        QPushButton* btnExport;
        QTabWidget* tabLUTWidget;
        QWidget* tabLUTGraphWidget;
        QRadioButton* rbManual;
        QRadioButton* rbKnee;
        QDoubleSpinBox* spinGamma;
        QPushButton* btnReset;
        ZelLUTView* LUTView;
        QLabel* lblControlHint;
        QPushButton* btnSaveLUTSettings;
    };
    const Form& form() const { return ui; }
    // The model of the table read at opening; null when none could be read.
    ZelLUTModel* model() const { return m_model; }

private slots:
    void _onChkEnableClicked(bool bChecked);
    void on_btnSaveLUTSettings_clicked();
    void on_spinGamma_valueChanged(double value);
    void on_rbKnee_toggled(bool checked);
    void on_rbManual_toggled(bool checked);
    void on_btnImport_clicked();
    void on_btnExport_clicked();
    void on_btnInvert_clicked();
    void on_btnReset_clicked();

private:
    void buildForm();
    void readTable();
    void manualModeGuard();

    Form ui{};
    ZelFeatureManager* featureManager;
    ZelLUTModel* m_model = nullptr;
    // Where the table was read: its selector entry and its index grid.
    QString m_selectorEntry;
    qint64 m_indexMinimum = 0;
    qint64 m_indexIncrement = 1;
    // The range of LUTValue: what an imported table may hold.
    qint64 m_valueMinimum = 0;
    qint64 m_valueMaximum = 0;
};

#endif // ZELLUTWIDGET_H
