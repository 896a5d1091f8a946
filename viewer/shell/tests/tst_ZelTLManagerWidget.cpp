// The transport-layer manager window: selection from the file, Restore
// Default, saving, the camera question and reload.
#include "OrvSdk.h"
#include "ZelDialogs.h"
#include "ZelSdkMetaTypes.h"
#include "ZelTLManagerWidget.h"
#include "ZelTLPreferredList.h"
#include "ZelTLSettingsFile.h"
#include "ZelTLTreeModel.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <cstring>

namespace {

ORV_TL_INFO record(const QString& folder, const QString& file, const QString& vendor,
                   const QString& model, const QString& type)
{
    ORV_TL_INFO tl{};
    auto put = [](char* dst, const QString& s) { qstrncpy(dst, s.toUtf8().constData(), 512); };
    put(tl.id, QStringLiteral("TL:") + file);
    put(tl.vendor, vendor);
    put(tl.model, model);
    put(tl.version, QStringLiteral("2.5.15"));
    put(tl.tlType, type);
    put(tl.name, file);
    put(tl.fullPath, folder + QLatin1Char('/') + file);
    put(tl.displayName, model + QStringLiteral(" (") + file + QLatin1Char(')'));
    return tl;
}

// The check state of each producer item, by file name.
QMap<QString, bool> checkedByName(ZelTLManagerWidget& w)
{
    QMap<QString, bool> m;
    QAbstractItemModel* model = w.treeView()->model();
    for (int g = 0; g < model->rowCount(); ++g) {
        const QModelIndex group = model->index(g, 0);
        for (int r = 0; r < model->rowCount(group); ++r) {
            const QModelIndex i = model->index(r, 0, group);
            const ORV_TL_INFO tl = i.data(ZelTLTreeModel::RecordRole).value<ORV_TL_INFO>();
            m.insert(QString::fromUtf8(tl.name), i.data(Qt::CheckStateRole).toInt() == Qt::Checked);
        }
    }
    return m;
}

QMap<QString, bool> enabledByName(const QList<ZelTLSettingEntry>& entries)
{
    QMap<QString, bool> m;
    for (const ZelTLSettingEntry& e : entries)
        m.insert(e.name, e.enabled);
    return m;
}

QPushButton* button(ZelTLManagerWidget& w, const char* name)
{
    return w.findChild<QPushButton*>(QLatin1String(name));
}

} // namespace

class tst_ZelTLManagerWidget : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_cti;
    QList<ORV_TL_INFO> m_list;
    ZelTLPreferredList* m_preferred = nullptr;
    ZelTLSettingsFile* m_store = nullptr;

    void saveFile(const QMap<QString, bool>& enabled, const QString& searchPath = QString())
    {
        QList<ZelTLSettingEntry> entries;
        for (const ORV_TL_INFO& tl : m_list) {
            const QString name = QString::fromUtf8(tl.name);
            if (enabled.contains(name))
                entries.append(ZelTLSettingsFile::entryFor(tl, enabled.value(name)));
        }
        QVERIFY(m_store->save(searchPath, entries));
    }

    QList<ZelTLSettingEntry> fileEntries()
    {
        QString path;
        QList<ZelTLSettingEntry> entries;
        m_store->read(path, entries);
        return entries;
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        const QString config = m_dir.path() + QStringLiteral("/config");
        m_cti = m_dir.path() + QStringLiteral("/cti");
        delete m_preferred;
        delete m_store;
        QFile::remove(config + QStringLiteral("/tl_settings.xml"));
        QFile::remove(config + QStringLiteral("/tl_preferred.xml"));
        m_preferred = new ZelTLPreferredList(config);
        m_store = new ZelTLSettingsFile(config, m_preferred);
        QVERIFY(!m_preferred->entries().isEmpty());
        const ZelTLPreferredEntry builtIn = m_preferred->entries().first();
        const QString maker = QStringLiteral("NORRIK-OMBREL GmbH");
        m_list = {
            record(m_cti, "orv_gev_tl.cti", maker, "GigE Vision Producer", "GEV"),
            record(m_cti, "orv_gev_tl_rdma.cti", maker, "GigE Vision RDMA Producer", "GEV"),
            record(m_cti, "orv_gev_brox_tl.cti", maker, "GigE Vision Brox Producer", "gev"),
            record(m_cti, "orv_u3v_tl.cti", maker, "USB3 Vision Producer", "U3V"),
            record(m_cti, "orv_cl_tl.cti", maker, "Camera Link Producer", "CL"),
            record(m_cti, "orv_clhs_tl.cti", maker, "Camera Link HS Producer", "CLHS"),
            record(m_cti, builtIn.tlName.toUpper(), builtIn.vendor, "CoaXPress Producer", "CXP"),
            record(m_cti, "other_vendor_tl.cti", "Other Vendor Ltd", "Frame Grabber Producer", "PCIx"),
        };
    }

    void cleanupTestCase()
    {
        delete m_store;
        delete m_preferred;
    }

    void treeFollowsFile()
    {
        saveFile({{"orv_gev_tl.cti", true}, {"orv_u3v_tl.cti", false}, {"orv_gev_brox_tl.cti", true}},
                 QStringLiteral("/opt/extra"));
        ZelTLManagerWidget w(m_list, nullptr, m_store, m_preferred);
        QCOMPARE(w.windowTitle(), QStringLiteral("GenTL Manager"));
        QCOMPARE(w.searchPathEdit()->text(), QStringLiteral("/opt/extra"));
        // "GEV" and "gev" share a group.
        QAbstractItemModel* model = w.treeView()->model();
        QCOMPARE(model->rowCount(QModelIndex()), 6);
        QCOMPARE(model->rowCount(model->index(0, 0)), 3);
        const QMap<QString, bool> c = checkedByName(w);
        QVERIFY(c.value("orv_gev_tl.cti"));
        QVERIFY(c.value("orv_gev_brox_tl.cti"));
        QVERIFY(!c.value("orv_u3v_tl.cti"));
        QVERIFY(!c.value("orv_cl_tl.cti")); // not in the file
        const QModelIndex gev = model->index(0, 0, model->index(0, 0));
        QVERIFY(gev.data(Qt::FontRole).value<QFont>().italic());
        const QModelIndex rdma = model->index(1, 0, model->index(0, 0));
        QVERIFY(!rdma.data(Qt::FontRole).value<QFont>().italic());
    }

    void groupRowClearsDetails()
    {
        ZelTLManagerWidget w(m_list, nullptr, m_store, m_preferred);
        QAbstractItemModel* model = w.treeView()->model();
        QMetaObject::invokeMethod(&w, "_onTreeviewItemClicked", Q_ARG(QModelIndex, model->index(0, 0, model->index(0, 0))));
        QLabel* path = w.findChild<QLabel*>(QStringLiteral("txtTLPath"));
        QCOMPARE(path->text(), QStringLiteral("Full Path: ") + m_cti + QStringLiteral("/orv_gev_tl.cti"));
        QMetaObject::invokeMethod(&w, "_onTreeviewItemClicked", Q_ARG(QModelIndex, model->index(0, 0)));
        QCOMPARE(path->text(), QStringLiteral("Full Path: "));
    }

    void restoreDefault_data()
    {
        QTest::addColumn<bool>("preferOther");
        QTest::newRow("no preferred entries") << false;
        QTest::newRow("other vendor preferred") << true;
    }

    void restoreDefault()
    {
        QFETCH(bool, preferOther);
        if (preferOther) {
            const QString config = QFileInfo(m_preferred->filePath()).absolutePath();
            QFile f(m_preferred->filePath());
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("<?xml version=\"1.0\"?>\n<TLSettingPreferred><TransportLayer>"
                    "<Vendor>Other Vendor Ltd (frame grabbers)</Vendor><TLName>OTHER_VENDOR_TL.CTI</TLName>"
                    "</TransportLayer></TLSettingPreferred>\n");
            f.close();
            delete m_preferred;
            m_preferred = new ZelTLPreferredList(config);
            QCOMPARE(m_preferred->entries().size(), 2);
        }
        saveFile({{"orv_gev_tl_rdma.cti", true}, {"orv_clhs_tl.cti", false}});
        ZelTLManagerWidget w(m_list, nullptr, m_store, m_preferred);
        button(w, "btnRestoreDefault")->click();
        const QMap<QString, bool> c = checkedByName(w);
        QVERIFY(c.value("orv_gev_tl.cti"));
        QVERIFY(!c.value("orv_gev_tl_rdma.cti"));
        QVERIFY(!c.value("orv_gev_brox_tl.cti"));
        QVERIFY(c.value("orv_u3v_tl.cti"));
        QVERIFY(c.value("orv_cl_tl.cti"));
        QVERIFY(c.value("orv_clhs_tl.cti"));
        QVERIFY(c.value(m_preferred->entries().first().tlName.toUpper()));
        QCOMPARE(c.value("other_vendor_tl.cti"), preferOther);
        // Nothing saved.
        QVERIFY(enabledByName(fileEntries()).value("orv_gev_tl_rdma.cti"));
    }

    void okSavesAndApplies()
    {
        saveFile({{"orv_gev_tl.cti", true}});
        ZelTLManagerWidget w(m_list, nullptr, m_store, m_preferred);
        w.show();
        QSignalSpy apply(&w, &ZelTLManagerWidget::applySettings);
        QSignalSpy revert(&w, &ZelTLManagerWidget::revertSettings);
        w.searchPathEdit()->setText(QStringLiteral("/new/path"));
        button(w, "btnRestoreDefault")->click();
        button(w, "btnSaveAndExit")->click();
        QCOMPARE(apply.count(), 1);
        QCOMPARE(revert.count(), 0);
        QVERIFY(!w.isVisible());
        QString path;
        QList<ZelTLSettingEntry> entries;
        QVERIFY(m_store->read(path, entries));
        QCOMPARE(path, QStringLiteral("/new/path"));
        QCOMPARE(entries.size(), m_list.size());
        QVERIFY(enabledByName(entries).value("orv_u3v_tl.cti"));
        QVERIFY(!enabledByName(entries).value("orv_gev_brox_tl.cti"));
        // The tree shows what was saved; a later close applies nothing.
        QVERIFY(checkedByName(w).value("orv_u3v_tl.cti"));
        w.show();
        w.close();
        QCOMPARE(apply.count(), 1);
    }

    void noKeepsFile()
    {
        saveFile({{"orv_gev_tl.cti", true}});
        const QList<ZelTLSettingEntry> before = fileEntries();
        ZelTLManagerWidget w(m_list, nullptr, m_store, m_preferred);
        w.show();
        w.setOpenCameraCount(2);
        QSignalSpy apply(&w, &ZelTLManagerWidget::applySettings);
        ZelDialogs::Script script;
        script.answer(QMessageBox::No);
        button(w, "btnRestoreDefault")->click();
        button(w, "btnSaveAndExit")->click();
        QCOMPARE(script.count(), 1);
        QVERIFY(script.last().text.contains(QStringLiteral("close all the cameras")));
        QCOMPARE(apply.count(), 0);
        QCOMPARE(enabledByName(fileEntries()), enabledByName(before));
        QVERIFY(w.isVisible());
    }

    void failedSaveIsShown()
    {
        QFile blocker(m_dir.path() + QStringLiteral("/blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ZelTLSettingsFile broken(blocker.fileName() + QStringLiteral("/config"), m_preferred);
        ZelTLManagerWidget w(m_list, nullptr, &broken, m_preferred);
        w.show();
        QSignalSpy apply(&w, &ZelTLManagerWidget::applySettings);
        ZelDialogs::Script script;
        button(w, "btnSaveAndExit")->click();
        QCOMPARE(script.count(), 1);
        QCOMPARE(script.last().icon, QMessageBox::Warning);
        QVERIFY(w.isVisible());
        QCOMPARE(apply.count(), 0);
    }

    void pathsMatchWhole()
    {
        // A producer whose path ends with another producer's path.
        QList<ORV_TL_INFO> list = {
            record(m_cti + QStringLiteral("/nested") + m_cti, "orv_gev_tl.cti", "X", "Longer", "GEV"),
            record(m_cti, "orv_gev_tl.cti", "X", "Exact", "GEV"),
        };
        QList<ZelTLSettingEntry> entries{ZelTLSettingsFile::entryFor(list[1], true),
                                         ZelTLSettingsFile::entryFor(list[0], false)};
        QVERIFY(m_store->save(QString(), entries));
        ZelTLManagerWidget w(list, nullptr, m_store, m_preferred);
        QAbstractItemModel* model = w.treeView()->model();
        const QModelIndex group = model->index(0, 0);
        QCOMPARE(model->index(0, 0, group).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QCOMPARE(model->index(1, 0, group).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    }

    void reloadThenOk()
    {
        saveFile({{"orv_gev_tl.cti", true}});
        ZelTLManagerWidget w(m_list, nullptr, m_store, m_preferred);
        w.show();
        QSignalSpy reload(&w, &ZelTLManagerWidget::reload);
        QSignalSpy revert(&w, &ZelTLManagerWidget::revertSettings);
        QSignalSpy apply(&w, &ZelTLManagerWidget::applySettings);
        w.searchPathEdit()->setText(QStringLiteral("/other"));
        button(w, "btnReload")->click();
        QCOMPARE(reload.count(), 1);
        QCOMPARE(reload.first().first().toString(), QStringLiteral("/other"));
        w.setTLList(m_list);
        button(w, "btnRestoreDefault")->click();
        button(w, "btnSaveAndExit")->click();
        QCOMPARE(revert.count(), 1);
        QCOMPARE(apply.count(), 0);
        QVERIFY(checkedByName(w).value("orv_u3v_tl.cti"));
        w.show();
        w.close();
        QCOMPARE(revert.count(), 1);
        QCOMPARE(apply.count(), 0);
    }

    // A text that fills its whole field has no terminator: it is read within
    // its field, in the tree, the details and the saved file alike.
    void fullLengthTexts()
    {
        ORV_TL_INFO tl = record(m_cti, "orv_gev_tl.cti", "NORRIK-OMBREL GmbH", "GigE Vision Producer", "GEV");
        std::memset(tl.tlType, 't', sizeof tl.tlType);
        std::memset(tl.name, 'n', sizeof tl.name);
        std::memset(tl.displayName, 'd', sizeof tl.displayName);
        tl.genTLVersionMajor = 0x41414141;
        const QString name(512, QLatin1Char('n'));
        ZelTLManagerWidget w({tl}, nullptr, m_store, m_preferred);
        QAbstractItemModel* model = w.treeView()->model();
        const QModelIndex group = model->index(0, 0);
        QCOMPARE(group.data(ZelTLTreeModel::RecordRole).toString(), QString(512, QLatin1Char('t')));
        const QModelIndex producer = model->index(0, 0, group);
        QCOMPARE(producer.data().toString(), QString(512, QLatin1Char('d')));
        QMetaObject::invokeMethod(&w, "_onTreeviewItemClicked", Q_ARG(QModelIndex, producer));
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("txtTLName"))->text(), QStringLiteral("Name: ") + name);
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("txtTLPath"))->text(),
                 QStringLiteral("Full Path: ") + m_cti + QStringLiteral("/orv_gev_tl.cti"));
        w.show();
        button(w, "btnSaveAndExit")->click();
        const QList<ZelTLSettingEntry> saved = fileEntries();
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved.first().name, name);
        QCOMPARE(saved.first().path, m_cti + QStringLiteral("/orv_gev_tl.cti"));
    }

    void closeDropsTicks()
    {
        saveFile({{"orv_gev_tl.cti", true}});
        ZelTLManagerWidget w(m_list, nullptr, m_store, m_preferred);
        w.show();
        QPointer<QAbstractItemModel> first = w.treeView()->model();
        button(w, "btnRestoreDefault")->click();
        w.searchPathEdit()->setText(QStringLiteral("/typed"));
        w.close();
        QVERIFY(!checkedByName(w).value("orv_u3v_tl.cti"));
        QCOMPARE(w.searchPathEdit()->text(), QStringLiteral("/typed"));
        QVERIFY(first.isNull()); // the replaced model is gone
    }
};

QTEST_MAIN(tst_ZelTLManagerWidget)
#include "tst_ZelTLManagerWidget.moc"
