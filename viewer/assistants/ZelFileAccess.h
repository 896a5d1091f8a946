#ifndef ZELFILEACCESS_H
#define ZELFILEACCESS_H

#include <QDialog>
#include <QFuture>
#include <QFutureWatcher>
#include <QString>
#include <QStringList>

#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class ZelFeatureManager;

// Lists, downloads, uploads and deletes the files of a camera's file system
// and uploads firmware. Transfers run one at a time on the global thread
// pool; the dialog shows their progress and, at the end, one message naming
// the files that failed.
class ZelFileAccess : public QDialog
{
    Q_OBJECT

public:
    ZelFileAccess(ZelFeatureManager* device, ZelFeatureManager* remoteDevice, QString cameraId,
                  QWidget* parent = nullptr);
    ~ZelFileAccess() override;

    // A byte count as "0 Bytes", "1.5 KB", "118 MB", "1022 KB" or "5 GB".
    static QString formatSize(qint64 bytes);
    // Whether a name from the camera may become a file in a local folder: not
    // empty, no folder separator, no "..".
    static bool isPlainFileName(const QString& name);

    struct Form {
        QLabel* label_2;
        QComboBox* comboBox;
        QLabel* label;
        QTreeWidget* treeWidget;
        QTreeWidget* treeWidget_2;
        QPushButton* btnUpload;
        QPushButton* btnDelete;
        QPushButton* btnFirwUpgrade;
        QPushButton* btnSave;
        QLabel* label_3;
        QProgressBar* fileAccessProgressBar;
        QLabel* label_6;
    };
    const Form& form() const { return ui; }
    QAction* saveAsAction() const { return m_saveAs; }
    bool isTransferRunning() const;

public slots:
    // Escape waits while firmware is written; the title bar's close cancels it.
    void reject() override;

signals:
    void deviceReset();

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void on_btnSave_clicked();
    void on_btnUpload_clicked();
    void on_comboBox_currentIndexChanged(int index);
    void on_btnDelete_clicked();
    void on_btnFirwUpgrade_clicked();
    void finishTask();
    void progressBar_valueChanged(qlonglong remaining, QString fileName, QString fileOperation);
    void setDeviceReset();
    void prepareMenu(QPoint pos);
    void SaveFileAs();
    void on_treeWidget_itemPressed(QTreeWidgetItem* item, int column);

private:
    struct Task;

    void buildForm();
    void refreshFileList();
    void startTask(const std::shared_ptr<Task>& task);
    static void downloadFiles(ZelFeatureManager* device, Task& task, const QStringList& names, const QString& folder);
    static void uploadFiles(ZelFeatureManager* device, Task& task, const QStringList& paths);
    void setTransferControlsEnabled(bool enabled);
    void showFailures(const QString& operation, const QStringList& names);
    void rememberFolder(const QString& folder);
    void shrink();
    QString currentEntry() const;
    bool firmwareRunning() const;

    qint64 m_totalBytes = 0;
    QString m_progressFile;
    Form ui{};
    ZelFeatureManager* m_device;
    ZelFeatureManager* m_remoteDevice;
    QFutureWatcher<void> m_watcher;
    QFuture<void> m_future;
    std::shared_ptr<Task> m_task;
    QString m_folder;
    QAction* m_saveAs = nullptr;
    bool m_hasFileSelector = false;
    bool m_waitCursor = false;
    bool m_closing = false;
};

#endif // ZELFILEACCESS_H
