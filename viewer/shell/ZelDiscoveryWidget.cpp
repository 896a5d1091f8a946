#include "ZelDiscoveryWidget.h"

#include "ZelAppSettings.h"
#include "ZelCameraManager.h"
#include "ZelDialogs.h"
#include "ZelDiscoverTreeItem.h"
#include "ZelDiscoveryController.h"
#include "ZelDiscoverTreeModel.h"
#include "ZelDiscoveryTreeView.h"
#include "ZelTrace.h"
#include "ZelUtil.h"
#include "ZelWaitCursor.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QSysInfo>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Process-wide: the first show lists every manager; the first type
// selection after start is not stored.
bool firstShow = true;
bool skipFirstTypeSave = true;

const QString settingsGroup = QStringLiteral("Settings");

bool isCameraLinkTypeExact(const QString& type)
{
    return type == QLatin1String("CL") || type == QLatin1String("CLHS");
}


} // namespace

struct ZelDiscoveryWidget::Ui {
    QComboBox* cmbCameraType = nullptr;
    QToolButton* btnRefresh = nullptr;
    QToolButton* toolBtnSettings = nullptr;
    QGroupBox* grpCLOptions = nullptr;
    QComboBox* cmbCLPortID = nullptr;
    QPushButton* btnCLProbeDevice = nullptr;
    QLabel* lblDiscoverStatus = nullptr;
    ZelDiscoveryTreeView* treeViewDiscover = nullptr;
    QProgressBar* pbDiscoveryProgress = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
};

ZelDiscoveryWidget::ZelDiscoveryWidget(const QList<ZelCameraManager*>& managers, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint)
    , ui(new Ui)
{
    hide();
    setupUi();

    ui->treeViewDiscover->hide();
    ui->lblDiscoverStatus->show();
    ui->grpCLOptions->hide();
    ui->btnRefresh->hide();
    ui->pbDiscoveryProgress->setRange(0, 0);

    auto* tlSettings = new QAction(QIcon(QStringLiteral(":/res/icon/tools.png")), tr("TL Settings..."), this);
    connect(tlSettings, &QAction::triggered, this, &ZelDiscoveryWidget::actionShowTLManagerWidget);
    auto* ipTool = new QAction(tr("IP Config Tool..."), this);
    connect(ipTool, &QAction::triggered, this, &ZelDiscoveryWidget::_onShowIPConfigTool);
    connect(ui->cmbCameraType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ZelDiscoveryWidget::_onCameraTypeChange);
    ui->toolBtnSettings->addAction(tlSettings);
    ui->toolBtnSettings->addAction(ipTool);
    ui->toolBtnSettings->setDefaultAction(tlSettings);

    init(managers, false);
}

ZelDiscoveryWidget::~ZelDiscoveryWidget()
{
    // The controller stops discovery before the models go.
    delete controller;
    controller = nullptr;
    delete ui;
}

void ZelDiscoveryWidget::setupUi()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ZelDiscoveryWidget"));
    setWindowTitle(tr("Discovery"));
    setWindowModality(Qt::ApplicationModal);
    resize(480, 400);
    setMinimumSize(480, 400);
    setWindowIcon(QIcon(QStringLiteral(":/res/icon/ms-icon-144x144.png")));

    auto* verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));

    auto* horizontalLayout_2 = new QHBoxLayout;
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    horizontalLayout_2->setContentsMargins(0, 2, 0, 2);
    ui->cmbCameraType = new QComboBox(this);
    ui->cmbCameraType->setObjectName(QStringLiteral("cmbCameraType"));
    ui->cmbCameraType->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    ui->cmbCameraType->setMinimumSize(160, 24);
    ui->cmbCameraType->setMaximumSize(16777215, 30);
    QFont bold = ui->cmbCameraType->font();
    bold.setBold(true);
    bold.setWeight(75);
    ui->cmbCameraType->setFont(bold);
    ui->cmbCameraType->setIconSize(QSize(16, 16));
    horizontalLayout_2->addWidget(ui->cmbCameraType);

    ui->btnRefresh = new QToolButton(this);
    ui->btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
    ui->btnRefresh->setText(tr("Refresh "));
    ui->btnRefresh->setMinimumSize(0, 32);
    ui->btnRefresh->setIcon(QIcon(QStringLiteral(":/res/icon/refresh.png")));
    ui->btnRefresh->setIconSize(QSize(24, 24));
    ui->btnRefresh->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ui->btnRefresh->setAutoRaise(true);
    horizontalLayout_2->addWidget(ui->btnRefresh);

    ui->toolBtnSettings = new QToolButton(this);
    ui->toolBtnSettings->setObjectName(QStringLiteral("toolBtnSettings"));
    ui->toolBtnSettings->setMinimumSize(110, 32);
    ui->toolBtnSettings->setIcon(QIcon(QStringLiteral(":/res/icon/tools.png")));
    ui->toolBtnSettings->setIconSize(QSize(20, 20));
    ui->toolBtnSettings->setPopupMode(QToolButton::MenuButtonPopup);
    ui->toolBtnSettings->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    horizontalLayout_2->addWidget(ui->toolBtnSettings);
    verticalLayout->addLayout(horizontalLayout_2);

    ui->grpCLOptions = new QGroupBox(this);
    ui->grpCLOptions->setObjectName(QStringLiteral("grpCLOptions"));
    auto* horizontalLayout = new QHBoxLayout(ui->grpCLOptions);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setContentsMargins(2, 2, 2, 2);
    auto* label = new QLabel(tr("Port ID:"), ui->grpCLOptions);
    label->setObjectName(QStringLiteral("label"));
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    horizontalLayout->addWidget(label);
    ui->cmbCLPortID = new QComboBox(ui->grpCLOptions);
    ui->cmbCLPortID->setObjectName(QStringLiteral("cmbCLPortID"));
    ui->cmbCLPortID->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    horizontalLayout->addWidget(ui->cmbCLPortID);
    ui->btnCLProbeDevice = new QPushButton(tr("Probe Device"), ui->grpCLOptions);
    ui->btnCLProbeDevice->setObjectName(QStringLiteral("btnCLProbeDevice"));
    ui->btnCLProbeDevice->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ui->btnCLProbeDevice->setMinimumSize(108, 30);
    ui->btnCLProbeDevice->setLayoutDirection(Qt::LeftToRight);
    horizontalLayout->addWidget(ui->btnCLProbeDevice);
    verticalLayout->addWidget(ui->grpCLOptions);

    ui->lblDiscoverStatus = new QLabel(tr("No Camera Discovered"), this);
    ui->lblDiscoverStatus->setObjectName(QStringLiteral("lblDiscoverStatus"));
    ui->lblDiscoverStatus->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);
    ui->lblDiscoverStatus->setMinimumHeight(30);
    QPalette palette = ui->lblDiscoverStatus->palette();
    palette.setColor(QPalette::Active, QPalette::Window, QColor(255, 255, 255));
    palette.setColor(QPalette::Inactive, QPalette::Window, QColor(240, 240, 240));
    palette.setColor(QPalette::Disabled, QPalette::Window, QColor(240, 240, 240));
    ui->lblDiscoverStatus->setPalette(palette);
    ui->lblDiscoverStatus->setAutoFillBackground(true);
    ui->lblDiscoverStatus->setFrameShape(QFrame::StyledPanel);
    ui->lblDiscoverStatus->setAlignment(Qt::AlignCenter);
    verticalLayout->addWidget(ui->lblDiscoverStatus);

    ui->treeViewDiscover = new ZelDiscoveryTreeView(this);
    ui->treeViewDiscover->setObjectName(QStringLiteral("treeViewDiscover"));
    ui->treeViewDiscover->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);
    ui->treeViewDiscover->setSelectionMode(QAbstractItemView::MultiSelection);
    ui->treeViewDiscover->setExpandsOnDoubleClick(false);
    connect(ui->treeViewDiscover, &ZelDiscoveryTreeView::currentMovedByKey, this,
            &ZelDiscoveryWidget::_onTreeCurrentMovedByKey);
    verticalLayout->addWidget(ui->treeViewDiscover);

    ui->pbDiscoveryProgress = new QProgressBar(this);
    ui->pbDiscoveryProgress->setObjectName(QStringLiteral("pbDiscoveryProgress"));
    ui->pbDiscoveryProgress->setFormat(QString());
    ui->pbDiscoveryProgress->setMaximumHeight(10);
    ui->pbDiscoveryProgress->setValue(0);
    ui->pbDiscoveryProgress->setTextVisible(false);
    verticalLayout->addWidget(ui->pbDiscoveryProgress);

    auto* horizontalLayout0 = new QHBoxLayout;
    horizontalLayout0->setObjectName(QStringLiteral("horizontalLayout0"));
    horizontalLayout0->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    horizontalLayout0->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    ui->btnOk = new QPushButton(tr("OK"), this);
    ui->btnOk->setObjectName(QStringLiteral("btnOk"));
    ui->btnOk->setEnabled(false);
    ui->btnOk->setMinimumWidth(120);
    ui->btnOk->setAutoDefault(false);
    ui->btnOk->setDefault(true);
    horizontalLayout0->addWidget(ui->btnOk);
    ui->btnCancel = new QPushButton(tr("Cancel"), this);
    ui->btnCancel->setObjectName(QStringLiteral("btnCancel"));
    ui->btnCancel->setMinimumWidth(120);
    ui->btnCancel->setAutoDefault(true);
    horizontalLayout0->addWidget(ui->btnCancel);
    verticalLayout->addLayout(horizontalLayout0);

    setTabOrder(ui->btnOk, ui->cmbCameraType);
    setTabOrder(ui->cmbCameraType, ui->treeViewDiscover);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QWidget::hide);
    QMetaObject::connectSlotsByName(this);
}

void ZelDiscoveryWidget::init(const QList<ZelCameraManager*>& managers, bool probeAll)
{
    const int rememberedIndex = ui->cmbCameraType->currentIndex();

    QStringList types;
    for (ZelCameraManager* manager : managers)
        types << (manager ? manager->TLType() : QString());
    ui->treeViewDiscover->createModels(types);
    m_pendingReports.clear();

    controller = new ZelDiscoveryController(managers, this);
    connect(controller, &ZelDiscoveryController::discoveredCameraListChanged, this,
            &ZelDiscoveryWidget::_onDiscoveredCameraChanged);

    fillCameraTypes(controller->managers());

    if (probeAll)
        listEveryManager();

    if (rememberedIndex > 0 && rememberedIndex < controller->managers().size()
        && rememberedIndex < ui->cmbCameraType->count())
        ui->cmbCameraType->setCurrentIndex(rememberedIndex);
}

void ZelDiscoveryWidget::reset()
{
    ui->treeViewDiscover->createModels({});
    m_pendingReports.clear();
    ui->treeViewDiscover->hide();
    ui->lblDiscoverStatus->show();
    ui->btnOk->setEnabled(false);
    if (controller) {
        disconnect(controller, nullptr, this, nullptr);
        delete controller;
        controller = nullptr;
    }
}

void ZelDiscoveryWidget::removeCamera(const QString& cameraKey)
{
    ui->treeViewDiscover->removeCamera(selectedType(), cameraKey);
}

QString ZelDiscoveryWidget::selectedType() const
{
    return ui->cmbCameraType->currentData().toString();
}

void ZelDiscoveryWidget::fillCameraTypes(const QList<ZelCameraManager*>& managers)
{
    // Refilling moves the current index: only the final selection counts,
    // and it is the remembered type, which stays stored as it is.
    m_fillingTypes = true;
    ui->cmbCameraType->clear();
    for (ZelCameraManager* manager : managers) {
        if (!manager)
            continue;
        const QString type = manager->TLType();
        bool listed = false;
        for (int i = 0; i < ui->cmbCameraType->count() && !listed; ++i)
            listed = ui->cmbCameraType->itemData(i).toString() == type;
        if (!listed)
            ui->cmbCameraType->addItem(ZelUtil::GetTLTypeName(type), type);
    }
    const QString saved =
        ZelAppSettings::instance()->value(settingsGroup, QStringLiteral("LastUsedTLType"), QStringLiteral("GEV")).toString();
    int index = 0;
    for (int i = 0; i < ui->cmbCameraType->count(); ++i) {
        if (ui->cmbCameraType->itemData(i).toString().compare(saved, Qt::CaseInsensitive) == 0) {
            index = i;
            break;
        }
    }
    ui->cmbCameraType->setCurrentIndex(ui->cmbCameraType->count() ? index : -1);
    m_fillingTypes = false;
    // The selection a fill makes is never stored: it is the remembered type
    // or a stand-in for one that is not listed now.
    skipFirstTypeSave = false;
    showType(ui->cmbCameraType->currentIndex());
}

void ZelDiscoveryWidget::fillCLPorts(const ZelInterfaceInfoList& interfaces)
{
    const QString saved =
        ZelAppSettings::instance()->value(settingsGroup, QStringLiteral("LastUsedCLPort"), QString()).toString();
    QComboBox* ports = ui->cmbCLPortID;
    // Each port once: a later listing of the same interface adds nothing.
    for (const ORV_INTERFACE_INFO& record : interfaces) {
        const QString id = ZelUtil::RecordText(record.id);
        bool listed = false;
        for (int i = 0; i < ports->count() && !listed; ++i)
            listed = ZelUtil::RecordText(ports->itemData(i).value<ORV_INTERFACE_INFO>().id) == id;
        if (!listed) {
            const QSignalBlocker keepSaved(ports);
            ports->addItem(ZelUtil::RecordText(record.displayName), QVariant::fromValue(record));
        }
    }
    int position = 0;
    for (int i = 0; i < ports->count(); ++i) {
        if (ports->itemText(i) == saved)
            position = i;
    }
    if (ports->count() == 0)
        return;
    if (ports->currentIndex() == position)
        on_cmbCLPortID_currentIndexChanged(ports->itemText(position));
    else
        ports->setCurrentIndex(position);
}

void ZelDiscoveryWidget::discoverNow(ZelCameraManager* manager, ZelInterfaceInfoList& interfaces)
{
    if (ZelDiscoveryController::isCameraLinkType(manager->TLType())) {
        manager->DiscoverInterfaces(&interfaces, 5000);
        return;
    }
    ZelInterfaceInfoList local;
    manager->DiscoverInterfaces(&local, 1000);
    ZelCameraInfoList cameras;
    for (ORV_INTERFACE_INFO& record : local)
        manager->DiscoverCameras(&record, &cameras, 300);
    interfaces = local;
    emit manager->cameraDiscovered(cameras);
}

void ZelDiscoveryWidget::listEveryManager()
{
    for (ZelCameraManager* manager : controller->managers()) {
        if (!manager)
            continue;
        ZelInterfaceInfoList interfaces;
        discoverNow(manager, interfaces);
        if (isCameraLinkTypeExact(manager->TLType()))
            fillCLPorts(interfaces);
    }
}

void ZelDiscoveryWidget::showTreeState(const QString& tlType)
{
    const bool empty = ui->treeViewDiscover->isEmpty(tlType);
    ui->treeViewDiscover->setVisible(!empty);
    ui->lblDiscoverStatus->setVisible(empty);
    ui->btnOk->setEnabled(!empty);
}

bool ZelDiscoveryWidget::treeHasSelection() const
{
    const QItemSelectionModel* selection = ui->treeViewDiscover->selectionModel();
    return selection && selection->hasSelection();
}

void ZelDiscoveryWidget::applyCameras(const QString& tlType, const ZelCameraInfoList& cameras)
{
    ui->treeViewDiscover->setCameras(tlType, cameras);
    if (tlType == selectedType())
        showTreeState(tlType);
}

void ZelDiscoveryWidget::_onCameraTypeChange(int index)
{
    if (m_fillingTypes)
        return;
    const QString type = showType(index);
    if (skipFirstTypeSave)
        skipFirstTypeSave = false;
    else
        ZelAppSettings::instance()->setValue(settingsGroup, QStringLiteral("LastUsedTLType"), type);
}

QString ZelDiscoveryWidget::showType(int index)
{
    const QString type = index >= 0 ? ui->cmbCameraType->itemData(index).toString() : QString();
    const bool cameraLink = ZelDiscoveryController::isCameraLinkType(type);
    ui->grpCLOptions->setVisible(cameraLink);
    ui->btnRefresh->setVisible(!cameraLink);
    ui->pbDiscoveryProgress->hide();

    ui->treeViewDiscover->showModel(type);
    if (QItemSelectionModel* selection = ui->treeViewDiscover->selectionModel())
        connect(selection, &QItemSelectionModel::selectionChanged, this, &ZelDiscoveryWidget::_onSelectionChanged,
                Qt::UniqueConnection);
    showTreeState(type);
    return type;
}

void ZelDiscoveryWidget::_onDiscoveredCameraChanged(QString tlType, ZelCameraInfoList cameraInfoList)
{
    // While a camera is selected its rows stay; the newest report of a type
    // waits until the selection ends.
    const bool shown = ui->treeViewDiscover->model()
        && ui->treeViewDiscover->model() == ui->treeViewDiscover->findModel(tlType);
    if (shown && treeHasSelection()) {
        m_pendingReports.insert(tlType, cameraInfoList);
        return;
    }
    m_pendingReports.remove(tlType);
    applyCameras(tlType, cameraInfoList);
}

void ZelDiscoveryWidget::_onSelectionChanged()
{
    if (treeHasSelection() || m_pendingReports.isEmpty())
        return;
    const QMap<QString, ZelCameraInfoList> pending = m_pendingReports;
    m_pendingReports.clear();
    for (auto it = pending.cbegin(); it != pending.cend(); ++it)
        applyCameras(it.key(), it.value());
}

QModelIndex ZelDiscoveryWidget::cameraRowOf(const QModelIndex& index)
{
    const QString kind = index.data(ZelDiscoverTreeItem::NodeKindRole).toString();
    if (kind.compare(QLatin1String("DeviceModelNode"), Qt::CaseInsensitive) == 0)
        return index;
    if (kind.compare(QLatin1String("DeviceInfoNode"), Qt::CaseInsensitive) == 0)
        return index.parent();
    return QModelIndex();
}

void ZelDiscoveryWidget::selectCamera(const QModelIndex& cameraRow)
{
    QItemSelectionModel* selection = ui->treeViewDiscover->selectionModel();
    if (!selection)
        return;
    QItemSelection rows(cameraRow, cameraRow);
    const QAbstractItemModel* model = cameraRow.model();
    for (int row = 0; model->index(row, 0, cameraRow).isValid(); ++row)
        rows.select(model->index(row, 0, cameraRow), model->index(row, 0, cameraRow));
    selection->select(rows, QItemSelectionModel::ClearAndSelect);
}

void ZelDiscoveryWidget::on_treeViewDiscover_clicked(QModelIndex index)
{
    const QModelIndex target = cameraRowOf(index);
    if (!target.isValid())
        return;
    QItemSelectionModel* selection = ui->treeViewDiscover->selectionModel();
    if (!selection)
        return;
    if (selection->isSelected(target)) {
        selection->clear();
        return;
    }
    selectCamera(target);
}

void ZelDiscoveryWidget::_onTreeCurrentMovedByKey(QModelIndex index)
{
    // The camera the keys reached is the one OK opens; a group row chooses none.
    const QModelIndex target = cameraRowOf(index);
    if (target.isValid()) {
        selectCamera(target);
    } else if (QItemSelectionModel* selection = ui->treeViewDiscover->selectionModel()) {
        selection->clearSelection();
    }
}

void ZelDiscoveryWidget::on_treeViewDiscover_doubleClicked(QModelIndex index)
{
    if (!index.isValid() || !(index.flags() & Qt::ItemIsSelectable))
        return;
    const ZelCameraInfo info = index.data(ZelDiscoverTreeItem::CameraInfoRole).value<ZelCameraInfo>();
    emit cameraSelected(info);
    if (QItemSelectionModel* selection = ui->treeViewDiscover->selectionModel())
        selection->clearSelection();
}

void ZelDiscoveryWidget::on_btnOk_clicked()
{
    const QItemSelectionModel* selection = ui->treeViewDiscover->selectionModel();
    if (!selection || selection->selectedIndexes().isEmpty())
        return;
    const QModelIndex first = selection->selectedIndexes().first();
    if (first.isValid())
        on_treeViewDiscover_doubleClicked(first);
}

void ZelDiscoveryWidget::on_btnRefresh_clicked()
{
    if (QItemSelectionModel* selection = ui->treeViewDiscover->selectionModel())
        selection->clearSelection();
    const QString type = selectedType();
    ZelWaitCursor wait;
    if (!controller)
        return;
    for (ZelCameraManager* manager : controller->managers()) {
        if (manager && manager->TLType().compare(type, Qt::CaseInsensitive) == 0) {
            ZelInterfaceInfoList scratch;
            discoverNow(manager, scratch);
        }
    }
}

void ZelDiscoveryWidget::on_btnCLProbeDevice_clicked()
{
    ORV_INTERFACE_INFO port = {};
    const QVariant data = ui->cmbCLPortID->currentData();
    if (data.canConvert<ORV_INTERFACE_INFO>())
        port = data.value<ORV_INTERFACE_INFO>();
    // A Camera Link HS port is probed through the "CLHS" managers into their
    // tree; everything else through "CL".
    const QString type = selectedType() == QLatin1String("CLHS") ? QStringLiteral("CLHS") : QStringLiteral("CL");
    ZelCameraInfoList cameras;
    {
        ZelWaitCursor wait;
        if (controller)
            controller->UpdateInterface(type, &port, cameras);
    }
    if (treeHasSelection())
        return;
    ui->treeViewDiscover->setCameras(type, cameras);
    if (selectedType() == type)
        showTreeState(type);
}

void ZelDiscoveryWidget::on_cmbCLPortID_currentIndexChanged(QString text)
{
    ZelAppSettings::instance()->setValue(settingsGroup, QStringLiteral("LastUsedCLPort"), text);
}

void ZelDiscoveryWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    QWidget::keyPressEvent(event);
}

void ZelDiscoveryWidget::showEvent(QShowEvent* event)
{
    if (controller) {
        const QList<ZelCameraManager*> watched = controller->watchedManagers();
        stopWatchedDiscovery(watched);
        on_btnRefresh_clicked();
        for (ZelCameraManager* manager : watched) {
            if (manager)
                controller->restartDiscovery(manager->TLType());
        }
        if (firstShow) {
            ZelWaitCursor wait;
            listEveryManager();
            firstShow = false;
        }
    }
    QWidget::showEvent(event);
}

void ZelDiscoveryWidget::hideEvent(QHideEvent* event)
{
    if (controller)
        stopWatchedDiscovery(controller->watchedManagers());
    QWidget::hideEvent(event);
}

void ZelDiscoveryWidget::stopWatchedDiscovery(const QList<ZelCameraManager*>& managers)
{
    if (!controller)
        return;
    for (ZelCameraManager* manager : managers) {
        if (manager)
            controller->stopDiscovery(manager->TLType());
    }
    if (QItemSelectionModel* selection = ui->treeViewDiscover->selectionModel())
        selection->clearSelection();
}

void ZelDiscoveryWidget::_onShowIPConfigTool()
{
    const QString kernel = QSysInfo::kernelType();
    if (kernel.contains(QLatin1String("linux"), Qt::CaseInsensitive)) {
        // Detached: the tool outlives neither a wait nor the viewer's end.
        const QString launcher = QString::fromLatin1(ipToolLauncher());
        const QString program = QString::fromLatin1(ipToolProgram());
        if (!QProcess::startDetached(launcher, {program})) {
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! start %s %s", "ZelDiscoveryWidget::_onShowIPConfigTool",
                     ipToolLauncher(), ipToolProgram());
            ZelDialogs::critical(this, tr("IP Config Tool"),
                                 tr("The IP configuration tool could not be started (%1 %2).").arg(launcher, program));
        }
    } else if (kernel.contains(QLatin1String("darwin"), Qt::CaseInsensitive)) {
        ZelDialogs::information(nullptr, QString(),
                                tr("Please use the command line ip configure tool with super user privilege.\n"
                                   "e.g for macOS\nGoto /Application/Utils , invoke one Terminal there\n"
                                   "$sudo ./Netvane.app/Contents/MacOS/Netvane"));
    }
}
