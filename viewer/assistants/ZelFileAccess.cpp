#include "ZelFileAccess.h"

#include "ZelAppSettings.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMutex>
#include <QMutexLocker>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <cmath>
#include <functional>

namespace {

const QString directoryGroup = QStringLiteral("Directory");
const QString folderKey = QStringLiteral("fileAccessFileDir");
const QString firmwareEntry = QStringLiteral("Firmware");
const QString userfileEntry = QStringLiteral("Userfile");
const QString replaceTitle = QStringLiteral("Replace or Skip Files ");

QByteArray encoded(const QString& text)
{
    return QFile::encodeName(text);
}

} // namespace

// What a transfer task needs and what it reports back. The worker reads only
// this, never a widget.
struct ZelFileAccess::Task {
    QString entry;
    QString operation; // the failure box's word: "Download" or "Upload"
    std::function<void(Task&)> body;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> failed{false};
    // Bytes moved of the running file, kept by the SDK; a cancel stored here
    // ends the file before its next block.
    int64_t transfer = 0;

    void cancelTransfer() { __atomic_store_n(&transfer, ORV_TRANSFER_CANCEL, __ATOMIC_RELEASE); }

    void fail(const QString& name)
    {
        failed = true;
        QMutexLocker lock(&mutex);
        failures << name;
    }
    QStringList failedNames()
    {
        QMutexLocker lock(&mutex);
        return failures;
    }

private:
    QMutex mutex;
    QStringList failures;
};

ZelFileAccess::ZelFileAccess(ZelFeatureManager* device, ZelFeatureManager* remoteDevice, QString cameraId,
                             QWidget* parent)
    : QDialog(parent)
    , m_device(device)
    , m_remoteDevice(remoteDevice)
{
    buildForm();
    ui.treeWidget->hide();
    m_totalBytes = 0;
    ui.fileAccessProgressBar->setValue(0);

    const ORV_FEATURE_HANDLE selector = m_remoteDevice ? m_remoteDevice->FindByName("FileSelector") : 0;
    if (!selector)
        return;
    m_hasFileSelector = true;
    if (ui.comboBox->count() == 0) {
        QString name;
        qint64 value = 0;
        // The first item selects itself, which selects it on the camera too.
        for (int i = 0; m_remoteDevice->EnumSubFeature(selector, i, name, value); ++i)
            ui.comboBox->addItem(name);
    }
    setWindowTitle(QStringLiteral("File Access Control (") + cameraId + QLatin1Char(')'));

    m_device->RegisterTransferCB();
    connect(&m_watcher, &QFutureWatcher<void>::finished, this, &ZelFileAccess::finishTask);
    connect(m_device, &ZelFeatureManager::updateTransferProcess, this, &ZelFileAccess::progressBar_valueChanged,
            Qt::QueuedConnection);
    connect(this, &ZelFileAccess::deviceReset, this, &ZelFileAccess::setDeviceReset);

    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    m_folder = ZelAppSettings::instance()->value(directoryGroup, folderKey, QVariant()).toString();

    connect(ui.treeWidget, &QWidget::customContextMenuRequested, this, &ZelFileAccess::prepareMenu);
    m_saveAs = new QAction(QIcon(QStringLiteral(":/res/icon/save.png")), QStringLiteral("&Save As..."), this);
    m_saveAs->setStatusTip(QStringLiteral("Save As"));
    connect(m_saveAs, &QAction::triggered, this, &ZelFileAccess::SaveFileAs);

    shrink();
    refreshFileList();
}

ZelFileAccess::~ZelFileAccess()
{
    // The task stops before its next file. The running file completes, but
    // firmware stops before its next block, so that the camera keeps what it
    // had.
    if (m_task) {
        m_task->cancelled = true;
        if (m_task->entry == firmwareEntry)
            m_task->cancelTransfer();
    }
    m_future.waitForFinished();
    disconnect(&m_watcher, nullptr, this, nullptr);
    if (m_hasFileSelector) {
        // Only after the transfer has returned: its progress reports end with it.
        m_device->UnregisterTransferCB();
        disconnect(m_device, &ZelFeatureManager::updateTransferProcess, this, nullptr);
    }
    disconnect(this, &ZelFileAccess::deviceReset, this, nullptr);
    if (m_waitCursor)
        QApplication::restoreOverrideCursor();
}

void ZelFileAccess::buildForm()
{
    setObjectName(QStringLiteral("ZelFileAccess"));
    setWindowTitle(QStringLiteral("Dialog"));
    setWindowModality(Qt::ApplicationModal);
    resize(560, 546);
    setMinimumSize(400, 320);
    const QString labelStyle = QStringLiteral("font: 10pt \"MS Shell Dlg 2\";");

    auto* form = new QFormLayout(this);
    auto* column = new QVBoxLayout();
    column->setSpacing(6);
    column->setContentsMargins(5, 5, 5, 5);
    ui.label_2 = new QLabel(QStringLiteral("File Selector:"), this);
    ui.label_2->setObjectName(QStringLiteral("label_2"));
    ui.label_2->setStyleSheet(labelStyle);
    ui.comboBox = new QComboBox(this);
    ui.comboBox->setObjectName(QStringLiteral("comboBox"));
    ui.label = new QLabel(QStringLiteral("Device File Storage:"), this);
    ui.label->setObjectName(QStringLiteral("label"));
    ui.label->setStyleSheet(labelStyle);

    ui.treeWidget = new QTreeWidget(this);
    ui.treeWidget->setObjectName(QStringLiteral("treeWidget"));
    ui.treeWidget->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size")});
    ui.treeWidget->setSelectionMode(QAbstractItemView::MultiSelection);
    ui.treeWidget->header()->setMinimumSectionSize(100);
    ui.treeWidget->header()->setStretchLastSection(true);
    ui.treeWidget->setExpandsOnDoubleClick(false);
    ui.treeWidget->setContextMenuPolicy(Qt::CustomContextMenu);
    ui.treeWidget->setDragEnabled(false);
    ui.treeWidget->setRootIsDecorated(false);

    ui.treeWidget_2 = new QTreeWidget(this);
    ui.treeWidget_2->setObjectName(QStringLiteral("treeWidget_2"));
    ui.treeWidget_2->setMaximumHeight(19);
    ui.treeWidget_2->setColumnCount(2);
    ui.treeWidget_2->setRootIsDecorated(false);

    auto makeButton = [this](const char* name, const QString& text) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        return button;
    };
    ui.btnUpload = makeButton("btnUpload", QStringLiteral("Upload Files To Camera"));
    ui.btnDelete = makeButton("btnDelete", QStringLiteral("Delete Selected Files"));
    ui.btnFirwUpgrade = makeButton("btnFirwUpgrade", QStringLiteral("Upload Firmware"));
    ui.btnSave = makeButton("btnSave", QStringLiteral("Download Selected Files"));
    // Two rows, so that the texts fit the smallest dialog.
    auto* buttons = new QGridLayout();
    buttons->addWidget(ui.btnUpload, 0, 0);
    buttons->addWidget(ui.btnDelete, 0, 1);
    buttons->addWidget(ui.btnFirwUpgrade, 1, 0);
    buttons->addWidget(ui.btnSave, 1, 1);

    column->addWidget(ui.label_2);
    column->addWidget(ui.comboBox);
    column->addWidget(ui.label);
    column->addWidget(ui.treeWidget);
    column->addWidget(ui.treeWidget_2);
    column->addLayout(buttons);
    form->addRow(column);

    ui.label_3 = new QLabel(this);
    ui.label_3->setObjectName(QStringLiteral("label_3"));
    ui.label_3->setStyleSheet(QStringLiteral("font: 7pt \"MS Shell Dlg 2\";"));
    ui.label_3->setTextFormat(Qt::PlainText);
    ui.fileAccessProgressBar = new QProgressBar(this);
    ui.fileAccessProgressBar->setObjectName(QStringLiteral("fileAccessProgressBar"));
    ui.fileAccessProgressBar->setRange(0, 100);
    ui.fileAccessProgressBar->setTextVisible(true);
    ui.label_6 = new QLabel(this);
    ui.label_6->setObjectName(QStringLiteral("label_6"));
    form->addRow(ui.label_3);
    form->addRow(ui.fileAccessProgressBar);
    form->addRow(ui.label_6);
    QMetaObject::connectSlotsByName(this);
}

QString ZelFileAccess::formatSize(qint64 bytes)
{
    if (bytes <= 0)
        return QStringLiteral("0 Bytes");
    double x = double(bytes);
    QString unit = QStringLiteral(" Bytes");
    if (x >= 1073741824.0) {
        x /= 1073741824.0;
        unit = QStringLiteral(" GB");
    } else if (x >= 1048576.0) {
        x /= 1048576.0;
        unit = QStringLiteral(" MB");
    } else if (x >= 1024.0) {
        x /= 1024.0;
        unit = QStringLiteral(" KB");
    }
    // Three significant digits; a number that reaches 1000 in its unit is
    // written whole rather than in exponent form.
    if (x >= 999.5)
        return QString::number(std::llround(x)) + unit;
    return QString::number(x, 'g', 3) + unit;
}

bool ZelFileAccess::isPlainFileName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QLatin1String(".."));
}

bool ZelFileAccess::isTransferRunning() const
{
    // Until finishTask has taken the task's result.
    return m_task != nullptr;
}

bool ZelFileAccess::firmwareRunning() const
{
    return isTransferRunning() && m_task->entry == firmwareEntry;
}

QString ZelFileAccess::currentEntry() const
{
    return ui.comboBox->currentText();
}

void ZelFileAccess::shrink()
{
    // The minimum size turns this into the smallest dialog.
    resize(100, 100);
}

void ZelFileAccess::setTransferControlsEnabled(bool enabled)
{
    for (QWidget* control : {static_cast<QWidget*>(ui.btnSave), static_cast<QWidget*>(ui.btnDelete),
                             static_cast<QWidget*>(ui.btnUpload), static_cast<QWidget*>(ui.comboBox),
                             static_cast<QWidget*>(ui.btnFirwUpgrade)})
        control->setEnabled(enabled);
    if (m_saveAs)
        m_saveAs->setEnabled(enabled);
}

void ZelFileAccess::refreshFileList()
{
    ui.btnUpload->setEnabled(true);
    ui.comboBox->setEnabled(true);
    ui.btnFirwUpgrade->setEnabled(true);
    if (m_saveAs)
        m_saveAs->setEnabled(true);
    ui.label_6->hide();
    ui.label_3->hide();
    ui.fileAccessProgressBar->hide();
    ui.treeWidget->clear();
    ui.treeWidget_2->clear();
    if (!m_hasFileSelector)
        return;

    QVariant value;
    const int count = m_remoteDevice->GetValue("FilenameCount", value, true, true) ? value.toInt() : 0;
    for (int i = 0; i < count; ++i) {
        m_remoteDevice->SetValue("FilenameIndex", QVariant(qint64(i)));
        QVariant name;
        QVariant size;
        m_remoteDevice->GetValue("Filename", name, false, false);
        m_remoteDevice->GetValue("FileSize", size, false, false);
        auto* item = new QTreeWidgetItem(ui.treeWidget);
        item->setText(0, name.toString());
        item->setText(1, QString::number(double(size.toLongLong()) / 1024.0, 'f', 2) + QStringLiteral(" KB"));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (QWidget* w : {static_cast<QWidget*>(ui.treeWidget), static_cast<QWidget*>(ui.treeWidget_2),
                       static_cast<QWidget*>(ui.btnSave), static_cast<QWidget*>(ui.btnDelete)})
        w->setVisible(count > 0);

    QVariant freeSize;
    m_remoteDevice->GetValue("FilesystemFreeSize", freeSize, true, true);
    ui.treeWidget_2->setHeaderLabels(
        {QString::number(count) + (count == 1 ? QStringLiteral(" element") : QStringLiteral(" elements")),
         QStringLiteral("Filesystem Free Size (") + formatSize(freeSize.toLongLong()) + QStringLiteral(" )")});

    const QString entry = currentEntry();
    if (entry == firmwareEntry) {
        for (QWidget* w : {static_cast<QWidget*>(ui.btnUpload), static_cast<QWidget*>(ui.btnSave),
                           static_cast<QWidget*>(ui.btnDelete), static_cast<QWidget*>(ui.label),
                           static_cast<QWidget*>(ui.treeWidget), static_cast<QWidget*>(ui.treeWidget_2)})
            w->hide();
        ui.btnFirwUpgrade->show();
        shrink();
    } else {
        ui.btnFirwUpgrade->hide();
        ui.btnUpload->show();
        ui.btnSave->setEnabled(true);
        ui.btnDelete->setEnabled(true);
        ui.label->show();
        ui.treeWidget_2->show();
    }
    if (entry == userfileEntry) {
        ui.btnSave->setText(QStringLiteral("Download Selected Files"));
        ui.btnDelete->setText(QStringLiteral("Delete Selected Files"));
        ui.btnUpload->setText(QStringLiteral("Upload Files To Camera"));
        if (count == 0)
            shrink();
    } else if (entry != firmwareEntry) {
        // The entry is one file itself.
        for (QWidget* w : {static_cast<QWidget*>(ui.treeWidget), static_cast<QWidget*>(ui.treeWidget_2),
                           static_cast<QWidget*>(ui.label), static_cast<QWidget*>(ui.btnDelete)})
            w->hide();
        ui.btnSave->show();
        ui.btnSave->setText(QStringLiteral("Download File"));
        ui.btnUpload->show();
        ui.btnUpload->setText(QStringLiteral("Upload File"));
        shrink();
    }
    ui.treeWidget->resizeColumnToContents(0);
}

void ZelFileAccess::on_comboBox_currentIndexChanged(int index)
{
    Q_UNUSED(index)
    const QString entry = currentEntry();
    if (m_remoteDevice)
        m_remoteDevice->SetValueEnum("FileSelector", encoded(entry).constData());
    if (entry == firmwareEntry) {
        ui.btnUpload->hide();
        ui.btnFirwUpgrade->show();
        for (QPushButton* button : {ui.btnSave, ui.btnDelete}) {
            button->setEnabled(false);
            button->hide();
        }
        ui.label->hide();
        ui.treeWidget->hide();
        ui.treeWidget_2->hide();
        shrink();
        return;
    }
    ui.btnFirwUpgrade->hide();
    ui.btnUpload->show();
    for (QPushButton* button : {ui.btnSave, ui.btnDelete}) {
        button->setEnabled(true);
        button->show();
    }
    ui.label->show();
    ui.treeWidget->show();
    refreshFileList();
}

void ZelFileAccess::startTask(const std::shared_ptr<Task>& task)
{
    m_task = task;
    m_totalBytes = 0;
    m_progressFile.clear();
    m_future = QtConcurrent::run([task] {
        if (!task->cancelled)
            task->body(*task);
    });
    m_watcher.setFuture(m_future);
    setTransferControlsEnabled(false);
}

void ZelFileAccess::rememberFolder(const QString& folder)
{
    if (folder == m_folder)
        return;
    ZelAppSettings::instance()->setValue(directoryGroup, folderKey, folder);
    m_folder = folder;
}

void ZelFileAccess::uploadFiles(ZelFeatureManager* device, Task& task, const QStringList& paths)
{
    for (const QString& path : paths) {
        if (task.cancelled)
            return;
        const QString name = QFileInfo(path).fileName();
        if (!device->UploadFile(encoded(name).constData(), encoded(path).constData(),
                                encoded(task.entry).constData(), &task.transfer)) {
            task.fail(name);
            return;
        }
    }
}

void ZelFileAccess::downloadFiles(ZelFeatureManager* device, Task& task, const QStringList& names,
                                  const QString& folder)
{
    for (const QString& name : names) {
        if (task.cancelled)
            return;
        if (!isPlainFileName(name)) {
            task.fail(name);
            continue;
        }
        const QString path = folder + QLatin1Char('/') + name;
        if (!device->SaveFile(encoded(path).constData(), encoded(name).constData(), encoded(task.entry).constData(),
                              &task.transfer))
            task.fail(name);
    }
}

void ZelFileAccess::on_btnUpload_clicked()
{
    ui.fileAccessProgressBar->hide();
    const QStringList paths = ZelDialogs::getOpenFileNames(nullptr, QStringLiteral("Upload Files"), m_folder);
    if (paths.isEmpty())
        return;
    auto task = std::make_shared<Task>();
    task->entry = currentEntry();
    task->operation = QStringLiteral("Upload");
    ZelFeatureManager* device = m_device;
    task->body = [device, paths](Task& t) { uploadFiles(device, t, paths); };
    startTask(task);
    rememberFolder(QFileInfo(paths.first()).absolutePath());
}

void ZelFileAccess::on_btnFirwUpgrade_clicked()
{
    ui.fileAccessProgressBar->hide();
    const QString path = ZelDialogs::getOpenFileName(nullptr, QStringLiteral("Firmware Upgrade"), m_folder,
                                                     QStringLiteral("ge3 (*.ge3)"));
    if (path.isEmpty())
        return;
    ui.label_6->setText(QStringLiteral("firmware update might take more than one minute."));
    ui.label_6->show();
    ui.label->hide();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_waitCursor = true;
    auto task = std::make_shared<Task>();
    task->entry = firmwareEntry;
    task->operation = QStringLiteral("Upload");
    ZelFeatureManager* device = m_device;
    const QStringList paths{path};
    task->body = [device, paths](Task& t) { uploadFiles(device, t, paths); };
    startTask(task);
    rememberFolder(QFileInfo(path).absolutePath());
}

void ZelFileAccess::on_btnSave_clicked()
{
    if (currentEntry() != userfileEntry) {
        SaveFileAs();
        return;
    }
    const QString folder = ZelDialogs::getExistingDirectory(nullptr, QStringLiteral("Save Files"), m_folder,
                                                            QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return;

    QStringList selected;
    QStringList refused;
    for (QTreeWidgetItem* item : ui.treeWidget->selectedItems()) {
        const QString name = item->text(0);
        // A name that is not a plain file name could reach outside the folder.
        (isPlainFileName(name) ? selected : refused) << name;
    }
    QStringList download;
    QStringList conflicts;
    for (const QString& name : selected)
        (QFileInfo::exists(folder + QLatin1Char('/') + name) ? conflicts : download) << name;

    bool askEach = conflicts.size() == 1;
    if (conflicts.size() >= 2) {
        const QMessageBox::StandardButton answer = ZelDialogs::warning(
            nullptr, replaceTitle,
            QStringLiteral("Destination has ") + QString::number(conflicts.size()) +
                QStringLiteral(" files with the same names\nReplace all files in the destination\n"),
            QMessageBox::Yes | QMessageBox::NoToAll | QMessageBox::Cancel);
        if (answer == QMessageBox::Yes)
            download = selected;
        askEach = answer == QMessageBox::NoToAll;
    }
    if (askEach) {
        for (const QString& name : conflicts) {
            const QMessageBox::StandardButton answer =
                ZelDialogs::warning(nullptr, replaceTitle,
                                    QStringLiteral("Replace the file ") + name + QStringLiteral(" in the destination"),
                                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            if (answer == QMessageBox::Yes)
                download << name;
            else if (answer != QMessageBox::No)
                break;
        }
    }

    if (!download.isEmpty()) {
        auto task = std::make_shared<Task>();
        task->entry = currentEntry();
        task->operation = QStringLiteral("Download");
        for (const QString& name : refused)
            task->fail(name);
        ZelFeatureManager* device = m_device;
        task->body = [device, download, folder](Task& t) { downloadFiles(device, t, download, folder); };
        startTask(task);
    } else if (!refused.isEmpty()) {
        showFailures(QStringLiteral("Download"), refused);
    }
    rememberFolder(QFileInfo(folder).absolutePath());
}

void ZelFileAccess::SaveFileAs()
{
    const QString stored = ZelAppSettings::instance()->value(directoryGroup, folderKey, QVariant()).toString();
    const QString path =
        ZelDialogs::getSaveFileName(nullptr, QStringLiteral("Download File As"), stored, QStringLiteral("*"));
    if (path.isEmpty())
        return;
    const QString chosenFolder = QFileInfo(path).absolutePath();
    if (chosenFolder != stored)
        ZelAppSettings::instance()->setValue(directoryGroup, folderKey, chosenFolder);
    const QString entry = currentEntry();
    const QString deviceName = entry == userfileEntry ? m_saveAs->data().toString() : QString();
    auto task = std::make_shared<Task>();
    task->entry = entry;
    task->operation = QStringLiteral("Download");
    ZelFeatureManager* device = m_device;
    task->body = [device, path, deviceName](Task& t) {
        if (!device->SaveFile(encoded(path).constData(), encoded(deviceName).constData(),
                              encoded(t.entry).constData(), &t.transfer))
            t.fail(deviceName.isEmpty() ? t.entry : deviceName);
        if (!t.cancelled)
            qDebug() << " saveAS " << deviceName;
    };
    startTask(task);
}

void ZelFileAccess::prepareMenu(QPoint pos)
{
    ui.treeWidget->clearSelection();
    QTreeWidgetItem* item = ui.treeWidget->itemAt(pos);
    if (!item)
        return;
    item->setSelected(true);
    m_saveAs->setData(item->text(0));
    QMenu menu(this);
    menu.addAction(m_saveAs);
    menu.exec(ui.treeWidget->viewport()->mapToGlobal(pos));
}

void ZelFileAccess::on_btnDelete_clicked()
{
    ui.btnDelete->setFocus();
    const QList<QTreeWidgetItem*> rows = ui.treeWidget->selectedItems();
    for (QWidget* control : {static_cast<QWidget*>(ui.btnSave), static_cast<QWidget*>(ui.btnDelete),
                             static_cast<QWidget*>(ui.btnUpload), static_cast<QWidget*>(ui.comboBox)})
        control->setEnabled(false);
    const QString entry = currentEntry();
    const bool folderEntry = entry == userfileEntry || entry == firmwareEntry;
    if (folderEntry && rows.isEmpty())
        return;
    const QString question = rows.size() == 1
                                 ? QStringLiteral("Are you sure you want to delete this file ?\n")
                                 : QStringLiteral("Are you sure you want to delete the selected files ?\n");
    const QMessageBox::StandardButton answer = ZelDialogs::warning(nullptr, QStringLiteral("Delete Files"), question,
                                                                   QMessageBox::Yes | QMessageBox::No);
    QStringList failures;
    if (answer == QMessageBox::Yes) {
        const QByteArray selector = encoded(entry);
        if (!folderEntry) {
            if (!m_device->DeleteFile("", selector.constData()))
                failures << entry;
        } else {
            for (QTreeWidgetItem* row : rows) {
                const QString name = row->text(0);
                if (!m_device->DeleteFile(encoded(name).constData(), selector.constData()))
                    failures << name;
            }
        }
    }
    if (!failures.isEmpty())
        showFailures(QStringLiteral("Delete"), failures);
    refreshFileList();
}

void ZelFileAccess::showFailures(const QString& operation, const QStringList& names)
{
    ZelDialogs::critical(this, QStringLiteral("File Access Control"),
                         operation + QStringLiteral(" failed:\n") + names.join(QLatin1Char('\n')));
}

void ZelFileAccess::progressBar_valueChanged(qlonglong remaining, QString fileName, QString fileOperation)
{
    ui.fileAccessProgressBar->show();
    ui.label_3->show();
    // A new file starts the count again, also after one that ended early.
    if (m_totalBytes == 0 || fileName != m_progressFile || remaining > m_totalBytes) {
        ui.label_3->setText(fileOperation + QStringLiteral(": ") + fileName);
        m_totalBytes = remaining;
        m_progressFile = fileName;
        ui.fileAccessProgressBar->setValue(0);
        return;
    }
    const qint64 percent = qBound<qint64>(0, (m_totalBytes - remaining) * 100 / m_totalBytes, 100);
    ui.fileAccessProgressBar->setValue(int(percent));
    if (percent >= 100)
        m_totalBytes = 0;
}

void ZelFileAccess::finishTask()
{
    if (m_waitCursor) {
        QApplication::restoreOverrideCursor();
        m_waitCursor = false;
    }
    m_totalBytes = 0;
    m_progressFile.clear();
    const std::shared_ptr<Task> task = std::move(m_task);
    if (task && task->entry == firmwareEntry) {
        // Success is the upload's own result.
        if (task->failed) {
            ZelDialogs::information(this, QStringLiteral("Firmware Update"),
                                    QStringLiteral("<p align='center'>Error occurs during firmware update<br>"));
        } else {
            ZelDialogs::information(this, QStringLiteral("Firmware Update"),
                                    QStringLiteral("<p align='center'>Firmware Update successful!<br>") +
                                        QStringLiteral("The camera will be reset to take effect</p>"));
            emit deviceReset();
        }
    } else if (task) {
        const QStringList failures = task->failedNames();
        if (!failures.isEmpty())
            showFailures(task->operation, failures);
    }
    refreshFileList();
}

void ZelFileAccess::setDeviceReset()
{
    m_remoteDevice->SetValue("DeviceReset", QVariant(qint64(1)));
}

void ZelFileAccess::on_treeWidget_itemPressed(QTreeWidgetItem* item, int column)
{
    Q_UNUSED(item)
    Q_UNUSED(column)
}

void ZelFileAccess::reject()
{
    if (firmwareRunning() && !m_closing)
        return;
    QDialog::reject();
}

void ZelFileAccess::closeEvent(QCloseEvent* event)
{
    // Also during a firmware upload: the destruction that follows cancels it.
    m_closing = true;
    QDialog::closeEvent(event);
    m_closing = false;
}
