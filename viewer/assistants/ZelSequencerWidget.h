#ifndef ZELSEQUENCERWIDGET_H
#define ZELSEQUENCERWIDGET_H

#include "OrvSdk.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QTableView;
class QToolButton;
class ZelFeatureManager;
class ZelSequencerItem;
class ZelSequencerModel;

// The box of the sequencer window that a line's sources belong to, by the
// line's name: the first of "sequenzer"/"sequencer", "trigger", "Output 0"
// .. "Output 3" that the name contains, ignoring case; -1 when none.
enum class ZelSequencerLineBox { None = -1, Sequencer, Trigger, Output0, Output1, Output2, Output3 };
ZelSequencerLineBox zelSequencerLineBox(const QString& lineName);

// Programs a camera's hardware sequencer: its sets as a table, the control
// group, Apply, Start and the ".seqsetting" files. Deletes itself when closed.
class ZelSequencerWidget : public QWidget
{
    Q_OBJECT

public:
    ZelSequencerWidget(ZelFeatureManager* remoteDevice, QString cameraName, QWidget* parent = nullptr);
    ~ZelSequencerWidget() override;

    struct Form {
        QToolButton* toolBtnAdd;
        QToolButton* toolBtnRemove;
        QToolButton* toolBtnImportExport;
        QTableView* tblViewSequencer;
        QGroupBox* groupBox;
        QCheckBox* chkEnableSequencer;
        QCheckBox* chkEnablePWM;
        QCheckBox* chkEnableLoop;
        QComboBox* cmbTriggerMode;
        QComboBox* cmbTriggerSource;
        QComboBox* cmbExposureMode;
        QComboBox* cmbTrigger;
        QComboBox* cmbSequencer;
        QComboBox* cmbSeqTriggerMode;
        QComboBox* cmbOutput0;
        QComboBox* cmbOutput1;
        QComboBox* cmbOutput2;
        QComboBox* cmbOutput3;
        QPushButton* btnRestoreDefault;
        QPushButton* btnApplySettings;
        QPushButton* btnStartSequencer;
    };
    const Form& form() const { return ui; }
    ZelSequencerModel* model() const;
    QAction* importAction() const { return m_importAction; }
    QAction* exportAction() const { return m_exportAction; }

private slots:
    void _onToolBtnAddClicked(bool checked);
    void _onToolBtnRemoveClicked(bool checked);
    void _onImportSettingsClicked(bool checked);
    void _onExportSettingsClicked(bool checked);
    void on_btnApplySettings_clicked();
    void on_btnRestoreDefault_clicked();
    void on_btnStartSequencer_clicked();

private:
    void buildForm();
    void initTable();
    // Widens the table until no heading or value of a set is cut.
    void fitTableWidth();
    QList<ZelSequencerItem*> readSequencerSets(int maxRows);
    void initControls();
    // The failed writes, each named with its set or line.
    QStringList applySettings();
    void restoreDefaults();
    int readRowLimit();
    void setModel(ZelSequencerModel* model);
    QComboBox* lineBox(const QString& lineName) const;
    QStringList lineNames();

    Form ui{};
    ZelFeatureManager* featureManager;
    ORV_FEATURE_HANDLE m_seqSelector = 0;
    QAction* m_importAction = nullptr;
    QAction* m_exportAction = nullptr;
};

#endif // ZELSEQUENCERWIDGET_H
