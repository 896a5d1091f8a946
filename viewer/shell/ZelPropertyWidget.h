#ifndef ZELPROPERTYWIDGET_H
#define ZELPROPERTYWIDGET_H

#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QCompleter;
class QFrame;
class QProgressBar;
class QSpinBox;
class QTabWidget;
class QToolButton;
class ZelFeatureManager;
class ZelFeatureTreeWidget;
class ZelSearchLineEdit;

// The side panel of a camera window: acquisition buttons, visibility level,
// automatic saving, feature search and one feature tree tab per module.
class ZelPropertyWidget : public QWidget
{
    Q_OBJECT
public:
    // The panel's widgets, by their object names.
    struct Form {
        QFrame* frame = nullptr;
        QToolButton* toolBtnDiscover = nullptr;
        QToolButton* toolBtnStart = nullptr;
        QToolButton* toolBtnSnap = nullptr;
        QToolButton* toolBtnStop = nullptr;
        QToolButton* toolBtnSave = nullptr;
        QToolButton* toolBtnSaveLoadSettings = nullptr;
        QComboBox* cmbVisibility = nullptr;
        QToolButton* btnRefreshFeatureTree = nullptr;
        QCheckBox* chkAutoSave = nullptr;
        QSpinBox* spinAutoSaveCount = nullptr;
        QProgressBar* pbAutoSave = nullptr;
        ZelSearchLineEdit* searchBox = nullptr;
        QTabWidget* featureTreeTabWidgets = nullptr;
    };

    explicit ZelPropertyWidget(QWidget* parent = nullptr);
    ~ZelPropertyWidget() override;

    void setFeatureManagers(ZelFeatureManager* remoteDevice, ZelFeatureManager* system,
                            ZelFeatureManager* interface, ZelFeatureManager* device,
                            ZelFeatureManager* dataStream, bool readOnly, bool hasDataStream);
    void releaseFeatureTrees();
    void refreshCurrentTree();
    // 0 stopped, 1 acquiring, 2 after a snap; other values change nothing.
    void setAcquisitionState(int state);
    void setSaveEnabled(bool enable);

    const Form& form() const { return *ui; }
    QCompleter* searchCompleter() const { return completer; }
    ZelFeatureTreeWidget* treeAt(int tab) const;

signals:
    void discoverButtonClicked();
    void saveButtonClicked();
    void snapButtonClicked();
    void startButtonClicked();
    void stopButtonClicked();
    void saveSettingsButtonClicked();
    void loadSettingsButtonClicked();
    void deviceResetCommandExecute();
    void autoSaveEnable(bool bEnable, int count);
    void ButtonRefresh();

public slots:
    void OnInvalidateRequested(QString featureName, QString condition);
    void OnImageSaveComplete();
    void OnUpdateXML();

private slots:
    void _onVisibilityChange(int newVisibility);
    void _onHighlightSearchedFeature(QString text);
    void _onSearchBoxReturnPressed();
    void _onFeatureTreeWidgetChange(int);
    void _onChkAutoSaveClicked(bool bChecked);
    void _onSpinAutoSaveValueChanged(int value);

private:
    void buildForm();
    void rebuildAllTrees(int level);
    void updateCompleter();
    ZelFeatureTreeWidget* currentTree() const;
    int autoSaveCount() const;

    Form* ui;
    QCompleter* completer;
    ZelFeatureTreeWidget* remoteDeviceTree = nullptr;
    bool initialised = false;
};

#endif // ZELPROPERTYWIDGET_H
