#include "ZelTLManagerWidget.h"

#include "ZelDialogs.h"
#include "ZelSdkMetaTypes.h"
#include "ZelTLPreferredList.h"
#include "ZelTLSettingsFile.h"
#include "ZelTLTreeModel.h"
#include "ZelUtil.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

ZelTLManagerWidget::ZelTLManagerWidget(const QList<ORV_TL_INFO>& tlList, QWidget* parent,
                                       ZelTLSettingsFile* store, const ZelTLPreferredList* preferred)
    : QWidget(parent)
    , m_store(store ? store : ZelTLSettingsFile::instance())
    , m_preferred(preferred)
    , m_tlList(tlList)
{
    buildForm();
    readSettings();
    m_lineGenTLPath->setText(m_searchPath);
    _onTreeviewUpdate(m_tlList);
    connect(m_treeView, &QTreeView::clicked, this, &ZelTLManagerWidget::_onTreeviewItemClicked);
    QMetaObject::connectSlotsByName(this);
}

ZelTLManagerWidget::~ZelTLManagerWidget() = default;

void ZelTLManagerWidget::buildForm()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ZelTLManagerWidget"));
    setWindowTitle(tr("GenTL Manager"));
    setWindowModality(Qt::ApplicationModal);
    resize(660, 480);
    setMinimumSize(660, 480);

    auto* vbox = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Additional GenTL Search Path:"), this));
    auto* pathRow = new QHBoxLayout;
    pathRow->setSpacing(1);
    m_lineGenTLPath = new QLineEdit(this);
    m_lineGenTLPath->setObjectName(QStringLiteral("lineGenTLPath"));
    auto* btnBrowse = new QPushButton(tr("..."), this);
    btnBrowse->setObjectName(QStringLiteral("btnBrowse"));
    btnBrowse->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    btnBrowse->setMinimumSize(0, 0);
    btnBrowse->setMaximumWidth(24);
    pathRow->addWidget(m_lineGenTLPath);
    pathRow->addWidget(btnBrowse);
    top->addLayout(pathRow);
    auto* btnReload = new QPushButton(tr("Reload"), this);
    btnReload->setObjectName(QStringLiteral("btnReload"));
    btnReload->setMinimumWidth(120);
    top->addWidget(btnReload);
    vbox->addLayout(top);

    m_treeView = new QTreeView(this);
    m_treeView->setObjectName(QStringLiteral("treeView"));
    m_treeView->setRootIsDecorated(true);
    m_treeView->header()->hide();
    m_treeView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_treeView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_treeView->header()->setStretchLastSection(true);
    vbox->addWidget(m_treeView, 1);

    auto* group = new QGroupBox(tr("GenTL Description"), this);
    auto* form = new QFormLayout(group);
    const char* names[5] = {"txtTLID", "txtTLName", "txtTLPath", "txtTLVendor", "txtTLVersion"};
    const QString texts[5] = {tr("ID:"), tr("Name:"), tr("Full Path:"), tr("Vendor:"), tr("Version:")};
    for (int i = 0; i < 5; ++i) {
        m_txt[i] = new QLabel(texts[i], group);
        m_txt[i]->setObjectName(QLatin1String(names[i]));
        m_txt[i]->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::TextSelectableByMouse
                                          | Qt::TextSelectableByKeyboard);
        form->addRow(m_txt[i]);
    }
    vbox->addWidget(group);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    auto* btnRestore = new QPushButton(tr("Restore Default"), this);
    btnRestore->setObjectName(QStringLiteral("btnRestoreDefault"));
    btnRestore->setMinimumWidth(120);
    auto* btnOk = new QPushButton(tr("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnSaveAndExit"));
    btnOk->setMinimumWidth(120);
    bottom->addWidget(btnRestore);
    bottom->addWidget(btnOk);
    vbox->addLayout(bottom);
    connect(btnRestore, &QPushButton::clicked, this, &ZelTLManagerWidget::_onTreeviewRestoreDefault);

    setTabOrder(btnOk, m_lineGenTLPath);
    setTabOrder(m_lineGenTLPath, btnBrowse);
    setTabOrder(btnBrowse, btnReload);
    setTabOrder(btnReload, m_treeView);
    setTabOrder(m_treeView, btnRestore);
}

void ZelTLManagerWidget::readSettings()
{
    m_searchPath.clear();
    m_tlSettings.clear();
    m_store->read(m_searchPath, m_tlSettings);
}

void ZelTLManagerWidget::setTLList(const QList<ORV_TL_INFO>& tlList)
{
    _onTreeviewUpdate(tlList);
    m_tlList = tlList;
}

void ZelTLManagerWidget::_onTreeviewUpdate(QList<ORV_TL_INFO> tlList)
{
    m_treeView->reset();
    ZelTLTreeModel* old = m_model;
    m_model = new ZelTLTreeModel(tlList, this);
    m_treeView->setModel(m_model);
    delete old;
    m_treeView->expandAll();
    m_treeView->setColumnWidth(0, 300);

    for (const ZelTLSettingEntry& entry : m_tlSettings) {
        const QModelIndex index = findProducerIndex(ZelUtil::NormalizePath(entry.path));
        if (index.isValid())
            m_model->setData(index, entry.enabled ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    }
}

// The producer whose full path is the key; paths are compared whole.
QModelIndex ZelTLManagerWidget::findProducerIndex(const QString& key) const
{
    if (!m_model)
        return QModelIndex();
    for (int g = 0; g < m_model->rowCount(); ++g) {
        const QModelIndex group = m_model->index(g, 0);
        for (int r = 0; r < m_model->rowCount(group); ++r) {
            const QModelIndex index = m_model->index(r, 0, group);
            if (ZelUtil::EqualPath(index.data(ZelTLTreeModel::PathRole).toString(), key))
                return index;
        }
    }
    return QModelIndex();
}

void ZelTLManagerWidget::collectEntries(QList<ZelTLSettingEntry>& entries, const QModelIndex& parent) const
{
    for (int r = 0; r < m_model->rowCount(parent); ++r) {
        const QModelIndex index = m_model->index(r, 0, parent);
        if (m_model->hasChildren(index)) {
            collectEntries(entries, index);
            continue;
        }
        const ORV_TL_INFO tl = index.data(ZelTLTreeModel::RecordRole).value<ORV_TL_INFO>();
        entries.append(ZelTLSettingsFile::entryFor(tl, index.data(Qt::CheckStateRole).toInt() == Qt::Checked));
    }
}

void ZelTLManagerWidget::_onTreeviewItemClicked(QModelIndex index)
{
    const QVariant data = index.data(ZelTLTreeModel::RecordRole);
    if (!data.isValid())
        return;
    ORV_TL_INFO tl{};
    if (data.canConvert<ORV_TL_INFO>() && data.userType() == qMetaTypeId<ORV_TL_INFO>())
        tl = data.value<ORV_TL_INFO>();
    m_txt[0]->setText(tr("ID: ") + ZelUtil::RecordText(tl.id));
    m_txt[1]->setText(tr("Name: ") + ZelUtil::RecordText(tl.name));
    m_txt[2]->setText(tr("Full Path: ") + ZelUtil::RecordText(tl.fullPath));
    m_txt[3]->setText(tr("Vendor: ") + ZelUtil::RecordText(tl.vendor));
    m_txt[4]->setText(tr("Version: ") + ZelUtil::RecordText(tl.version));
}

void ZelTLManagerWidget::_onTreeviewRestoreDefault()
{
    const ZelTLPreferredList* preferred = m_preferred ? m_preferred : ZelTLPreferredList::instance();
    for (const ORV_TL_INFO& tl : m_tlList) {
        const QString vendor = ZelUtil::RecordText(tl.vendor);
        const QString model = ZelUtil::RecordText(tl.model);
        bool checked = false;
        if (vendor.contains(QLatin1String("NORRIK-OMBREL"), Qt::CaseInsensitive)) {
            checked = !model.contains(QLatin1String("Brox"), Qt::CaseInsensitive)
                && !model.contains(QLatin1String("RDMA"), Qt::CaseInsensitive);
        } else {
            const QString name = ZelUtil::RecordText(tl.name);
            for (const ZelTLPreferredEntry& e : preferred->entries()) {
                if (e.vendor.contains(vendor, Qt::CaseInsensitive)
                    && e.tlName.compare(name, Qt::CaseInsensitive) == 0) {
                    checked = true;
                    break;
                }
            }
        }
        const QModelIndex index = findProducerIndex(ZelUtil::NormalizePath(ZelUtil::RecordText(tl.fullPath)));
        if (index.isValid())
            m_model->setData(index, checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    }
    m_treeView->dataChanged(QModelIndex(), QModelIndex());
}

void ZelTLManagerWidget::on_btnBrowse_clicked()
{
    const QString dir = ZelDialogs::getExistingDirectory(
        this, tr("Open Directory"), QString(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (!dir.isEmpty())
        m_lineGenTLPath->setText(dir);
}

bool ZelTLManagerWidget::confirmCloseCameras()
{
    if (m_openCameraCount == 0)
        return true;
    return ZelDialogs::question(nullptr, QString(),
                                tr("This will close all the cameras. Are you sure you want to continue?"),
                                QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

void ZelTLManagerWidget::on_btnReload_clicked()
{
    if (!confirmCloseCameras())
        return;
    emit reload(m_lineGenTLPath->text());
    m_reloadPending = true;
    m_openCameraCount = 0;
}

void ZelTLManagerWidget::on_btnSaveAndExit_clicked()
{
    // Asked before saving, so that No leaves the file as it was.
    if (!m_reloadPending && !confirmCloseCameras())
        return;
    QList<ZelTLSettingEntry> entries;
    collectEntries(entries, QModelIndex());
    if (!m_store->save(m_lineGenTLPath->text(), entries)) {
        ZelDialogs::warning(this, tr("GenTL Manager"),
                            tr("The GenTL settings could not be saved to \"%1\".").arg(m_store->filePath()));
        return;
    }
    readSettings();
    m_savePending = true;
    close();
}

void ZelTLManagerWidget::closeEvent(QCloseEvent* event)
{
    if (m_reloadPending) {
        // The revert reads the file, so a save made meanwhile is applied by it.
        m_reloadPending = false;
        m_savePending = false;
        QApplication::restoreOverrideCursor();
        emit revertSettings();
        m_openCameraCount = 0;
        setTLList(m_tlList);
    } else if (m_savePending) {
        m_savePending = false;
        QApplication::restoreOverrideCursor();
        emit applySettings();
        m_openCameraCount = 0;
    } else {
        setTLList(m_tlList);
    }
    QApplication::restoreOverrideCursor();
    event->accept();
}
