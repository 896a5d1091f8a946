#pragma once

#include "OrvSdk.h"
#include "ZelTLSettingEntry.h"

#include <QList>
#include <QModelIndex>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;
class ZelTLPreferredList;
class ZelTLSettingsFile;
class ZelTLTreeModel;

// The "GenTL Manager" window: the operator picks the producers the viewer
// uses and an additional search path; the main window answers its signals.
class ZelTLManagerWidget : public QWidget
{
    Q_OBJECT
public:
    // store and preferred default to the process-wide ones.
    explicit ZelTLManagerWidget(const QList<ORV_TL_INFO>& tlList, QWidget* parent = nullptr,
                                ZelTLSettingsFile* store = nullptr,
                                const ZelTLPreferredList* preferred = nullptr);
    ~ZelTLManagerWidget() override;

    void setTLList(const QList<ORV_TL_INFO>& tlList);
    void setOpenCameraCount(quint16 count) { m_openCameraCount = count; }

    QTreeView* treeView() const { return m_treeView; }
    QLineEdit* searchPathEdit() const { return m_lineGenTLPath; }

signals:
    void reload(QString tlSearchPath);
    void revertSettings();
    void applySettings();

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void on_btnReload_clicked();
    void on_btnBrowse_clicked();
    void on_btnSaveAndExit_clicked();
    void _onTreeviewItemClicked(QModelIndex index);
    void _onTreeviewRestoreDefault();
    void _onTreeviewUpdate(QList<ORV_TL_INFO> tlList);

private:
    void buildForm();
    QModelIndex findProducerIndex(const QString& key) const;
    void collectEntries(QList<ZelTLSettingEntry>& entries, const QModelIndex& parent) const;
    bool confirmCloseCameras();
    void readSettings();

    ZelTLSettingsFile* m_store;
    const ZelTLPreferredList* m_preferred;
    ZelTLTreeModel* m_model = nullptr;
    QLineEdit* m_lineGenTLPath = nullptr;
    QTreeView* m_treeView = nullptr;
    QLabel* m_txt[5] = {};
    QString m_searchPath;
    QList<ZelTLSettingEntry> m_tlSettings;
    bool m_reloadPending = false;
    bool m_savePending = false;
    QList<ORV_TL_INFO> m_tlList;
    quint16 m_openCameraCount = 0;
};
