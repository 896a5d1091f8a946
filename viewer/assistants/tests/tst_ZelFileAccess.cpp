#include "../../core/tests/SimCameraSession.h"
#include "../../core/tests/TestHome.h"

#include "ZelAppSettings.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelFileAccess.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

const char* const g1 = "GEV-G1-0001";

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

class TestZelFileAccess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useTestHome(home)); }
    void init()
    {
        QVERIFY(session.start());
        work.reset(new QTemporaryDir);
        QVERIFY(work->isValid());
    }
    void cleanup()
    {
        delete dialog;
        QVERIFY(!QApplication::overrideCursor());
        session.stop();
    }

    void formatSize_data();
    void formatSize();
    void plainFileNames_data();
    void plainFileNames();
    void progress();
    void listsTheCameraFiles();
    void withoutFileSelector();
    void downloadConflicts_data();
    void downloadConflicts();
    void namesThatLeaveTheFolderAreRefused();
    void failedDownloadsAreNamedOnce();
    void uploadStopsAtTheFirstFailure();
    void firmwareSuccessResetsTheCamera();
    void firmwareFailureKeepsTheCamera();
    void transferControlsAreDisabledWhileRunning();
    void closeDuringDownloadWaitsForTheFile();
    void closeCancelsFirmware_data();
    void closeCancelsFirmware();
    void deleteQuestions_data();
    void deleteQuestions();
    void saveAsCancelledStartsNothing();

private:
    ZelFileAccess* open(const QString& deviceId = g1, const QString& producer = "orv_gev_tl.cti")
    {
        camera = session.open(deviceId, producer);
        if (!camera)
            return nullptr;
        dialog = new ZelFileAccess(camera->deviceFeatures, camera->remoteDeviceFeatures, "cam");
        return dialog;
    }
    const ZelFileAccess::Form& ui() const { return dialog->form(); }
    QStringList names() const
    {
        QStringList all;
        for (int i = 0; i < ui().treeWidget->topLevelItemCount(); ++i)
            all << ui().treeWidget->topLevelItem(i)->text(0);
        return all;
    }
    void select(const QStringList& wanted)
    {
        ui().treeWidget->clearSelection();
        for (const QString& name : wanted) {
            const auto items = ui().treeWidget->findItems(name, Qt::MatchExactly, 0);
            QVERIFY2(items.size() == 1, qPrintable(name));
            items.first()->setSelected(true);
        }
    }
    // Puts a file of `size` bytes on the camera under `name`.
    void put(const QString& entry, const QString& name, int size)
    {
        const QString local = work->filePath("put.bin");
        QVERIFY(writeFile(local, QByteArray(size, 'p')));
        QCOMPARE(session.run(QString("file.put %1 %2 \"%3\" %4").arg(g1, entry, name, local)), 0);
    }
    bool waitForTask() { return QTest::qWaitFor([this] { return !dialog->isTransferRunning(); }, 30000); }
    int calls(const QString& log, const QString& function) { return log.count(function + "("); }
    QString fileList()
    {
        QString reply;
        session.run(QString("file.list %1").arg(g1), &reply);
        return reply;
    }

    QTemporaryDir home;
    std::unique_ptr<QTemporaryDir> work;
    zeltest::SimCameraSession session;
    ZelCamera* camera = nullptr;
    QPointer<ZelFileAccess> dialog;
};

void TestZelFileAccess::formatSize_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << qint64(0) << "0 Bytes";
    QTest::newRow("-1") << qint64(-1) << "0 Bytes";
    QTest::newRow("1000") << qint64(1000) << "1000 Bytes";
    QTest::newRow("1023") << qint64(1023) << "1023 Bytes";
    QTest::newRow("1024") << qint64(1024) << "1 KB";
    QTest::newRow("1536") << qint64(1536) << "1.5 KB";
    QTest::newRow("1024000") << qint64(1024000) << "1000 KB";
    QTest::newRow("1046940") << qint64(1046940) << "1022 KB";
    QTest::newRow("123456789") << qint64(123456789) << "118 MB";
    QTest::newRow("5368709120") << qint64(5368709120) << "5 GB";
}

void TestZelFileAccess::formatSize()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(ZelFileAccess::formatSize(bytes), text);
}

void TestZelFileAccess::plainFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("plain");
    QTest::newRow("config.txt") << "config.txt" << true;
    QTest::newRow("blank inside") << "my notes.bin" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("../evil") << "../evil" << false;
    QTest::newRow("..") << ".." << false;
    QTest::newRow("a/b") << "a/b" << false;
    QTest::newRow("absolute") << "/etc/passwd" << false;
    QTest::newRow("backslash") << "a\\b" << false;
}

void TestZelFileAccess::plainFileNames()
{
    QFETCH(QString, name);
    QFETCH(bool, plain);
    QCOMPARE(ZelFileAccess::isPlainFileName(name), plain);
}

void TestZelFileAccess::progress()
{
    QVERIFY(open());
    auto report = [this](qlonglong remaining, const QString& name) {
        if (!QMetaObject::invokeMethod(dialog, "progressBar_valueChanged", Q_ARG(qlonglong, remaining),
                                       Q_ARG(QString, name), Q_ARG(QString, "Read")))
            return -1;
        return ui().fileAccessProgressBar->value();
    };
    QCOMPARE(report(1000, "a"), 0);
    QCOMPARE(ui().label_3->text(), QString("Read: a"));
    QVERIFY(ui().fileAccessProgressBar->isVisibleTo(dialog));
    QCOMPARE(report(500, "a"), 50);
    QCOMPARE(report(0, "a"), 100);
    QCOMPARE(report(2000, "a"), 0); // the next file
    QCOMPARE(report(1500, "a"), 25);
    // That file ends early; the next one starts at 0, not at 75.
    QCOMPARE(report(1000, "b"), 0);
    QCOMPARE(ui().label_3->text(), QString("Read: b"));
    QCOMPARE(report(250, "b"), 75);
    // A report of more than the total starts a new count too.
    QCOMPARE(report(4000, "b"), 0);
    QCOMPARE(report(3000, "b"), 25);
}

void TestZelFileAccess::listsTheCameraFiles()
{
    QVERIFY(open());
    QCOMPARE(dialog->windowTitle(), QString("File Access Control (cam)"));
    QVERIFY(dialog->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
    QStringList entries;
    for (int i = 0; i < ui().comboBox->count(); ++i)
        entries << ui().comboBox->itemText(i);
    QCOMPARE(entries, (QStringList{"Userfile", "Firmware", "UserSet1"}));
    QCOMPARE(names(), (QStringList{"config.txt", "notes.bin"}));
    QCOMPARE(ui().treeWidget->topLevelItem(0)->text(1), QString("1.50 KB"));
    QCOMPARE(ui().treeWidget->topLevelItem(1)->text(1), QString("0.10 KB"));
    QCOMPARE(ui().treeWidget_2->headerItem()->text(0), QString("2 elements"));
    QCOMPARE(ui().treeWidget_2->headerItem()->text(1), QString("Filesystem Free Size (1022 KB )"));
    QVERIFY(ui().btnSave->isVisibleTo(dialog));
    QVERIFY(!ui().btnFirwUpgrade->isVisibleTo(dialog));

    ui().comboBox->setCurrentText("Firmware");
    QVERIFY(ui().btnFirwUpgrade->isVisibleTo(dialog));
    QVERIFY(!ui().btnUpload->isVisibleTo(dialog));
    QVERIFY(!ui().treeWidget->isVisibleTo(dialog));

    ui().comboBox->setCurrentText("UserSet1");
    QCOMPARE(ui().btnSave->text(), QString("Download File"));
    QCOMPARE(ui().btnUpload->text(), QString("Upload File"));
    QVERIFY(!ui().btnDelete->isVisibleTo(dialog));

    // One file left: "1 element".
    ui().comboBox->setCurrentText("Userfile");
    QVERIFY(camera->deviceFeatures->DeleteFile("notes.bin", "Userfile"));
    QCOMPARE(session.run(QString("feature.set remote:%1 FilesystemFreeSize 0").arg(g1)), 0);
    ui().comboBox->setCurrentText("Firmware");
    ui().comboBox->setCurrentText("Userfile");
    QCOMPARE(ui().treeWidget_2->headerItem()->text(0), QString("1 element"));
    QCOMPARE(ui().treeWidget_2->headerItem()->text(1), QString("Filesystem Free Size (0 Bytes )"));
    // None: the list and its buttons go.
    QVERIFY(camera->deviceFeatures->DeleteFile("config.txt", "Userfile"));
    ui().comboBox->setCurrentText("Firmware");
    ui().comboBox->setCurrentText("Userfile");
    QCOMPARE(ui().treeWidget_2->headerItem()->text(0), QString("0 elements"));
    QVERIFY(!ui().treeWidget->isVisibleTo(dialog));
    QVERIFY(!ui().btnSave->isVisibleTo(dialog));
    QVERIFY(!ui().btnDelete->isVisibleTo(dialog));
}

void TestZelFileAccess::withoutFileSelector()
{
    QVERIFY(open("U3V-U2-0302", "orv_u3v_tl.cti"));
    QCOMPARE(dialog->windowTitle(), QString("Dialog"));
    QCOMPARE(ui().comboBox->count(), 0);
    QVERIFY(!dialog->testAttribute(Qt::WA_DeleteOnClose));
    dialog->show();
    QVERIFY(dialog->close());
    QVERIFY(!dialog->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(dialog);
}

void TestZelFileAccess::downloadConflicts_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QVector<int>>("answers");
    QTest::addColumn<QStringList>("questions");
    QTest::addColumn<QStringList>("fetched");
    const QString many = "Destination has 2 files with the same names\nReplace all files in the destination\n";
    const QString a = "Replace the file config.txt in the destination";
    const QString b = "Replace the file notes.bin in the destination";
    const int yes = QMessageBox::Yes, no = QMessageBox::No, noAll = QMessageBox::NoToAll,
              cancel = QMessageBox::Cancel;
    QTest::newRow("none") << QStringList{} << QVector<int>{} << QStringList{}
                          << QStringList{"config.txt", "notes.bin", "third.dat"};
    QTest::newRow("two, Cancel") << QStringList{"config.txt", "notes.bin"} << QVector<int>{cancel}
                                 << QStringList{many} << QStringList{"third.dat"};
    QTest::newRow("two, Yes") << QStringList{"config.txt", "notes.bin"} << QVector<int>{yes} << QStringList{many}
                              << QStringList{"config.txt", "notes.bin", "third.dat"};
    QTest::newRow("two, No to All, Yes, No") << QStringList{"config.txt", "notes.bin"}
                                             << QVector<int>{noAll, yes, no} << QStringList{many, a, b}
                                             << QStringList{"third.dat", "config.txt"};
    QTest::newRow("two, No to All, Cancel") << QStringList{"config.txt", "notes.bin"}
                                            << QVector<int>{noAll, cancel} << QStringList{many, a}
                                            << QStringList{"third.dat"};
    QTest::newRow("one, Yes") << QStringList{"notes.bin"} << QVector<int>{yes} << QStringList{b}
                              << QStringList{"config.txt", "third.dat", "notes.bin"};
    QTest::newRow("one, Cancel") << QStringList{"notes.bin"} << QVector<int>{cancel} << QStringList{b}
                                 << QStringList{"config.txt", "third.dat"};
}

void TestZelFileAccess::downloadConflicts()
{
    QFETCH(QStringList, existing);
    QFETCH(QVector<int>, answers);
    QFETCH(QStringList, questions);
    QFETCH(QStringList, fetched);
    QVERIFY(open());
    put("Userfile", "third.dat", 10);
    ui().comboBox->setCurrentText("Firmware");
    ui().comboBox->setCurrentText("Userfile");
    const QString folder = work->filePath("dl");
    QVERIFY(QDir().mkpath(folder));
    for (const QString& name : existing)
        QVERIFY(writeFile(folder + "/" + name, "old"));
    select({"config.txt", "notes.bin", "third.dat"});

    ZelDialogs::Script dialogs;
    dialogs.answer(folder);
    for (int answer : answers)
        dialogs.answer(answer);
    const QString log = session.callsDuring([&] {
        ui().btnSave->click();
        QVERIFY(waitForTask());
    });
    QStringList asked;
    for (const ZelDialogs::Request& request : dialogs.requests()) {
        if (request.kind != ZelDialogs::Kind::Message)
            continue;
        QCOMPARE(request.title, QString("Replace or Skip Files "));
        QVERIFY(!request.hasParent);
        asked << request.text;
    }
    QCOMPARE(asked, questions);
    QStringList saved;
    for (const QString& line : log.split('\n'))
        if (line.startsWith("OrvDeviceSaveFile("))
            for (const char* name : {"config.txt", "notes.bin", "third.dat"})
                if (line.contains(QString("/dl/") + name))
                    saved << name;
    QCOMPARE(saved, fetched);
    for (const QString& name : fetched)
        QVERIFY(QFileInfo(folder + "/" + name).size() > 3);
    // The folder above the chosen one is remembered.
    QCOMPARE(ZelAppSettings::instance()->value("Directory", "fileAccessFileDir").toString(), work->path());
}

void TestZelFileAccess::namesThatLeaveTheFolderAreRefused()
{
    QVERIFY(open());
    put("Userfile", "../evil", 10);
    put("Userfile", "a/b", 10);
    ui().comboBox->setCurrentText("Firmware");
    ui().comboBox->setCurrentText("Userfile");
    QVERIFY(names().contains("../evil"));
    const QString folder = work->filePath("dl");
    QVERIFY(QDir().mkpath(folder));
    // A file of that name beside the folder is not a conflict inside it.
    QVERIFY(writeFile(work->filePath("evil"), "outside"));
    select({"../evil", "notes.bin", "a/b"});

    ZelDialogs::Script dialogs;
    dialogs.answer(folder);
    const QString log = session.callsDuring([&] {
        ui().btnSave->click();
        QVERIFY(waitForTask());
    });
    QCOMPARE(calls(log, "OrvDeviceSaveFile"), 1);
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"notes.bin"});
    QCOMPARE(QDir(work->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{"dl", "evil", "put.bin"}));
    QFile outside(work->filePath("evil"));
    QVERIFY(outside.open(QIODevice::ReadOnly));
    QCOMPARE(outside.readAll(), QByteArray("outside"));
    // One box names both refused names; no question was asked.
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.last().icon, QMessageBox::Critical);
    QCOMPARE(dialogs.last().text, QString("Download failed:\n../evil\na/b"));

    // Only refused names selected: the box comes at once, nothing starts.
    select({"a/b"});
    dialogs.clear();
    dialogs.answer(folder);
    ui().btnSave->click();
    QVERIFY(!dialog->isTransferRunning());
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.last().text, QString("Download failed:\na/b"));
}

void TestZelFileAccess::failedDownloadsAreNamedOnce()
{
    QVERIFY(open());
    QCOMPARE(session.run(QString("file.fail %1 Userfile config.txt read -1010").arg(g1)), 0);
    const QString folder = work->filePath("dl");
    QVERIFY(QDir().mkpath(folder));
    select({"config.txt", "notes.bin"});
    ZelDialogs::Script dialogs;
    dialogs.answer(folder);
    ui().btnSave->click();
    QVERIFY(waitForTask());
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.last().title, QString("File Access Control"));
    QCOMPARE(dialogs.last().text, QString("Download failed:\nconfig.txt"));
    QVERIFY(QFileInfo::exists(folder + "/notes.bin"));
}

void TestZelFileAccess::uploadStopsAtTheFirstFailure()
{
    QVERIFY(open());
    QStringList paths;
    for (const char* name : {"a.bin", "b.bin", "c.bin"}) {
        paths << work->filePath(name);
        QVERIFY(writeFile(paths.last(), QByteArray(100, 'u')));
    }
    QCOMPARE(session.run(QString("file.fail %1 Userfile b.bin write -1010").arg(g1)), 0);
    ZelDialogs::Script dialogs;
    dialogs.answer(paths);
    const QString log = session.callsDuring([&] {
        ui().btnUpload->click();
        QVERIFY(waitForTask());
    });
    QCOMPARE(calls(log, "OrvDeviceLoadFile"), 2);
    QVERIFY(!log.contains("c.bin"));
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.last().text, QString("Upload failed:\nb.bin"));
    QStringList listed = names();
    listed.sort();
    QCOMPARE(listed, (QStringList{"a.bin", "config.txt", "notes.bin"}));
    QCOMPARE(ZelAppSettings::instance()->value("Directory", "fileAccessFileDir").toString(), work->path());
}

void TestZelFileAccess::firmwareSuccessResetsTheCamera()
{
    QVERIFY(open());
    ui().comboBox->setCurrentText("Firmware");
    const QString path = work->filePath("fw.ge3");
    QVERIFY(writeFile(path, QByteArray(5000, 'f')));
    ZelDialogs::Script dialogs;
    dialogs.answer(path);
    QStringList order;
    dialogs.whileOpen([&](const ZelDialogs::Request& request) {
        if (request.kind == ZelDialogs::Kind::Message)
            order << "box";
    });
    QSignalSpy resets(dialog.data(), &ZelFileAccess::deviceReset);
    const QString log = session.callsDuring([&] {
        ui().btnFirwUpgrade->click();
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QCOMPARE(ui().label_6->text(), QString("firmware update might take more than one minute."));
        QVERIFY(waitForTask());
    });
    QCOMPARE(dialogs.requests().at(0).title, QString("Firmware Upgrade"));
    QCOMPARE(dialogs.requests().at(0).filter, QString("ge3 (*.ge3)"));
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.last().title, QString("Firmware Update"));
    QCOMPARE(dialogs.last().text, QString("<p align='center'>Firmware Update successful!<br>The camera will be reset "
                                          "to take effect</p>"));
    QCOMPARE(resets.count(), 1);
    const QStringList lines = log.split('\n');
    int reset = -1;
    int lastLoad = -1;
    int refresh = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith("OrvDeviceLoadFile("))
            lastLoad = i;
        if (lines[i].startsWith("OrvFeatureCommandExecute(") && lines[i].contains("DeviceReset"))
            reset = i;
        if (reset >= 0 && refresh < 0 && lines[i].contains("FilenameCount"))
            refresh = i;
    }
    QVERIFY(lastLoad >= 0);
    QVERIFY(reset > lastLoad);
    QVERIFY(refresh > reset);
}

void TestZelFileAccess::firmwareFailureKeepsTheCamera()
{
    QVERIFY(open());
    ui().comboBox->setCurrentText("Firmware");
    const QString path = work->filePath("fw.ge3");
    QVERIFY(writeFile(path, QByteArray(200000, 'f')));
    QCOMPARE(session.run(QString("file.fail %1 Firmware write -1010 afterbytes=65536").arg(g1)), 0);
    ZelDialogs::Script dialogs;
    dialogs.answer(path);
    QSignalSpy resets(dialog.data(), &ZelFileAccess::deviceReset);
    const QString log = session.callsDuring([&] {
        ui().btnFirwUpgrade->click();
        QVERIFY(waitForTask());
    });
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.last().title, QString("Firmware Update"));
    QCOMPARE(dialogs.last().text, QString("<p align='center'>Error occurs during firmware update<br>"));
    QCOMPARE(resets.count(), 0);
    QVERIFY(!log.contains("DeviceReset"));
}

void TestZelFileAccess::transferControlsAreDisabledWhileRunning()
{
    QVERIFY(open());
    QCOMPARE(session.run(QString("file.rate %1 4000").arg(g1)), 0);
    const QString folder = work->filePath("dl");
    QVERIFY(QDir().mkpath(folder));
    select({"config.txt"});
    ZelDialogs::Script dialogs;
    dialogs.answer(folder);
    ui().btnSave->click();
    QVERIFY(dialog->isTransferRunning());
    for (QWidget* control : {static_cast<QWidget*>(ui().btnSave), static_cast<QWidget*>(ui().btnDelete),
                             static_cast<QWidget*>(ui().btnUpload), static_cast<QWidget*>(ui().comboBox),
                             static_cast<QWidget*>(ui().btnFirwUpgrade)})
        QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
    QVERIFY(!dialog->saveAsAction()->isEnabled());
    QTRY_COMPARE(ui().label_3->text(), QString("Read: config.txt"));
    QVERIFY(waitForTask());
    QVERIFY(ui().btnSave->isEnabled());
    QVERIFY(ui().btnFirwUpgrade->isEnabled());
    QVERIFY(dialog->saveAsAction()->isEnabled());
}

void TestZelFileAccess::closeDuringDownloadWaitsForTheFile()
{
    QVERIFY(open());
    dialog->show();
    // Slow enough that a slow machine still sees the first file in transfer.
    QCOMPARE(session.run(QString("file.rate %1 500").arg(g1)), 0);
    const QString folder = work->filePath("dl");
    QVERIFY(QDir().mkpath(folder));
    select({"config.txt", "notes.bin"});
    ZelDialogs::Script dialogs;
    dialogs.answer(folder);
    QSignalSpy destroyed(dialog.data(), &QObject::destroyed);
    const QString log = session.callsDuring([&] {
        ui().btnSave->click();
        QTRY_COMPARE(ui().label_3->text(), QString("Read: config.txt"));
        QVERIFY(dialog->close());
        QVERIFY(!dialog->isVisible());
        QTRY_COMPARE(destroyed.count(), 1);
    });
    QCOMPARE(QFileInfo(folder + "/config.txt").size(), 1536);
    QVERIFY(!QFileInfo::exists(folder + "/notes.bin"));
    QCOMPARE(calls(log, "OrvDeviceSaveFile"), 1);
    const int saved = log.indexOf("OrvDeviceSaveFile(");
    const int unregistered = log.indexOf("OrvDeviceUnRegisterFileAccessCB(");
    QVERIFY(unregistered > saved);
    QCOMPARE(dialogs.count(), 1); // no failure box from a dialog that went
}

void TestZelFileAccess::closeCancelsFirmware_data()
{
    QTest::addColumn<bool>("earlier");
    QTest::newRow("no firmware waiting") << false;
    QTest::newRow("an earlier firmware waits for the reset") << true;
}

// The title bar's close stays usable during a firmware upload: it cancels the
// upload before its next block, and the camera keeps what it had.
void TestZelFileAccess::closeCancelsFirmware()
{
    QFETCH(bool, earlier);
    QVERIFY(open());
    dialog->show();
    ui().comboBox->setCurrentText("Firmware");
    QCOMPARE(session.run(QString("file.rate %1 1000000000").arg(g1)), 0);
    ZelDialogs::Script dialogs;
    if (earlier) {
        const QString old = work->filePath("old.ge3");
        QVERIFY(writeFile(old, "version=1.5.0\n"));
        dialogs.answer(old);
        dialogs.answer(int(QMessageBox::Ok));
        // No reset: the firmware stays waiting.
        QObject::disconnect(dialog, &ZelFileAccess::deviceReset, nullptr, nullptr);
        QSignalSpy resets(dialog.data(), &ZelFileAccess::deviceReset);
        ui().btnFirwUpgrade->click();
        QVERIFY(waitForTask());
        QCOMPARE(resets.count(), 1);
        dialogs.clear();
    }
    const QString before = fileList();
    QCOMPARE(before.contains("pending firmware 1.5.0"), earlier);

    // Twenty blocks of 64 KiB, one a second.
    QCOMPARE(session.run(QString("file.rate %1 65536").arg(g1)), 0);
    const QString path = work->filePath("fw.ge3");
    QVERIFY(writeFile(path, "version=2.0.0\n" + QByteArray(1300000, 'f')));
    dialogs.answer(path);
    QSignalSpy destroyed(dialog.data(), &QObject::destroyed);
    const QString log = session.callsDuring([&] {
        ui().btnFirwUpgrade->click();
        QVERIFY(dialog->isTransferRunning());
        QTRY_COMPARE_WITH_TIMEOUT(ui().label_3->text(), QString("Write: fw.ge3"), 30000);
        // Escape is no way out while firmware is written.
        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->close());
        QVERIFY(!dialog->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(destroyed.count(), 1, 30000);
    });
    QStringList loads;
    for (const QString& line : log.split('\n'))
        if (line.startsWith("OrvDeviceLoadFile("))
            loads << line;
    QCOMPARE(loads.size(), 1);
    QVERIFY2(loads.first().endsWith(QString(" = %1").arg(ORV_ERROR_ABORTED)), qPrintable(loads.first()));
    QVERIFY(!log.contains("DeviceReset"));
    QCOMPARE(dialogs.count(), 1); // only the file choice: no message from a dialog that went
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(fileList(), before);
}

void TestZelFileAccess::deleteQuestions_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QStringList>("left");
    const QString one = "Are you sure you want to delete this file ?\n";
    const QString several = "Are you sure you want to delete the selected files ?\n";
    QTest::newRow("one, Yes") << "Userfile" << QStringList{"notes.bin"} << int(QMessageBox::Yes) << one
                              << QStringList{"config.txt"};
    QTest::newRow("two, Yes") << "Userfile" << QStringList{"notes.bin", "config.txt"} << int(QMessageBox::Yes)
                              << several << QStringList{};
    QTest::newRow("two, No") << "Userfile" << QStringList{"notes.bin", "config.txt"} << int(QMessageBox::No)
                             << several << QStringList{"config.txt", "notes.bin"};
    QTest::newRow("none selected") << "Userfile" << QStringList{} << int(QMessageBox::Yes) << QString()
                                   << QStringList{"config.txt", "notes.bin"};
    QTest::newRow("single-file entry") << "UserSet1" << QStringList{} << int(QMessageBox::Yes) << several
                                       << QStringList{"config.txt", "notes.bin"};
}

void TestZelFileAccess::deleteQuestions()
{
    QFETCH(QString, entry);
    QFETCH(QStringList, rows);
    QFETCH(int, answer);
    QFETCH(QString, question);
    QFETCH(QStringList, left);
    QVERIFY(open());
    select(rows);
    ui().comboBox->setCurrentText(entry);
    ZelDialogs::Script dialogs;
    dialogs.answer(answer);
    const QString log = session.callsDuring([&] { ui().btnDelete->click(); });
    if (question.isEmpty()) {
        QCOMPARE(dialogs.count(), 0);
    } else {
        QCOMPARE(dialogs.count(), 1);
        QCOMPARE(dialogs.last().title, QString("Delete Files"));
        QCOMPARE(dialogs.last().text, question);
        QVERIFY(!dialogs.last().hasParent);
    }
    QCOMPARE(calls(log, "OrvDeviceDeleteFile"), answer == QMessageBox::Yes && !question.isEmpty()
                                                     ? qMax(1, rows.size()) : 0);
    ui().comboBox->setCurrentText("Userfile");
    QCOMPARE(names(), left);
}

void TestZelFileAccess::saveAsCancelledStartsNothing()
{
    QVERIFY(open());
    ui().comboBox->setCurrentText("UserSet1");
    ZelDialogs::Script dialogs;
    const QString log = session.callsDuring([&] { ui().btnSave->click(); });
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(dialogs.last().kind, ZelDialogs::Kind::SaveFileName);
    QCOMPARE(dialogs.last().title, QString("Download File As"));
    QVERIFY(!dialog->isTransferRunning());
    QVERIFY(ui().btnSave->isEnabled());
    QCOMPARE(calls(log, "OrvDeviceSaveFile"), 0);

    // Chosen: the entry's own file is fetched under the chosen name.
    const QString path = work->filePath("set1.txt");
    dialogs.answer(path);
    ui().btnSave->click();
    QVERIFY(waitForTask());
    QVERIFY(QFileInfo(path).size() > 0);
}

QTEST_MAIN(TestZelFileAccess)
#include "tst_ZelFileAccess.moc"
