#include "ZelPropertyWidget.h"

#include "ZelAppSettings.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelFeatureTreeWidget.h"
#include "ZelSearchLineEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QProgressBar>
#include <QSpacerItem>
#include <QSpinBox>
#include <QStringListModel>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton* makeToolButton(QWidget* parent, const char* name, const char* icon, const QString& text)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(QIcon(QLatin1String(icon)));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setText(text);
    return button;
}

} // namespace

ZelPropertyWidget::ZelPropertyWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Form)
    , completer(new QCompleter(this))
{
    buildForm();
    setWindowTitle(QCoreApplication::applicationName());

    const int level = qBound(0, ZelAppSettings::instance()->value(QStringLiteral("Settings"),
                                                                    QStringLiteral("FeatureVisibility")).toInt(), 2);
    ui->cmbVisibility->addItems({QStringLiteral("Beginner"), QStringLiteral("Expert"), QStringLiteral("Guru")});
    ui->cmbVisibility->setCurrentIndex(level);
    connect(ui->cmbVisibility, SIGNAL(currentIndexChanged(int)), this, SLOT(_onVisibilityChange(int)));

    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setFilterMode(Qt::MatchContains);
    connect(completer, SIGNAL(highlighted(QString)), this, SLOT(_onHighlightSearchedFeature(QString)));
    connect(ui->searchBox, SIGNAL(returnPressed()), this, SLOT(_onSearchBoxReturnPressed()));
    ui->searchBox->setCompleter(completer);

    connect(ui->toolBtnDiscover, SIGNAL(clicked()), this, SIGNAL(discoverButtonClicked()));
    connect(ui->toolBtnSnap, SIGNAL(clicked()), this, SIGNAL(snapButtonClicked()));
    connect(ui->toolBtnSave, SIGNAL(clicked()), this, SIGNAL(saveButtonClicked()));
    connect(ui->toolBtnStart, SIGNAL(clicked()), this, SIGNAL(startButtonClicked()));
    connect(ui->toolBtnStop, SIGNAL(clicked()), this, SIGNAL(stopButtonClicked()));
    connect(ui->chkAutoSave, SIGNAL(clicked(bool)), this, SLOT(_onChkAutoSaveClicked(bool)));
    connect(ui->spinAutoSaveCount, SIGNAL(valueChanged(int)), this, SLOT(_onSpinAutoSaveValueChanged(int)));

    auto* saveSettings = new QAction(QIcon(QStringLiteral(":/res/icon/savesettings.ico")),
                                     tr("Save Settings..."), this);
    auto* loadSettings = new QAction(QIcon(QStringLiteral(":/res/icon/loadsettings.ico")),
                                     tr("Load Settings..."), this);
    connect(saveSettings, SIGNAL(triggered(bool)), this, SIGNAL(saveSettingsButtonClicked()));
    connect(loadSettings, SIGNAL(triggered(bool)), this, SIGNAL(loadSettingsButtonClicked()));
    ui->toolBtnSaveLoadSettings->addAction(saveSettings);
    ui->toolBtnSaveLoadSettings->addAction(loadSettings);
    ui->toolBtnSaveLoadSettings->setDefaultAction(saveSettings);

    connect(ui->btnRefreshFeatureTree, SIGNAL(clicked()), this, SIGNAL(ButtonRefresh()));

    // Restoring the count is no operator change: it is not written back.
    {
        const QSignalBlocker block(ui->spinAutoSaveCount);
        ui->spinAutoSaveCount->setValue(
            ZelAppSettings::instance()->value(QStringLiteral("Settings"), QStringLiteral("AutoSaveCount"), 16).toInt());
    }
}

ZelPropertyWidget::~ZelPropertyWidget()
{
    delete ui;
}

void ZelPropertyWidget::buildForm()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ZelPropertyWidget"));
    resize(625, 540);
    setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);
    setMinimumSize(600, 460);
    setMaximumSize(16777215, 16777215);
    setWindowTitle(tr("Property View"));

    auto* outer = new QVBoxLayout(this);
    outer->setObjectName(QStringLiteral("verticalLayout_2"));
    outer->setSpacing(0);
    outer->setContentsMargins(1, 1, 1, 1);
    ui->frame = new QFrame(this);
    ui->frame->setObjectName(QStringLiteral("frame"));
    ui->frame->setFrameShape(QFrame::StyledPanel);
    ui->frame->setFrameShadow(QFrame::Plain);
    outer->addWidget(ui->frame);

    QFrame* frame = ui->frame;
    auto* inner = new QVBoxLayout(frame);
    inner->setObjectName(QStringLiteral("verticalLayout_3"));

    auto* firstRow = new QHBoxLayout();
    firstRow->setObjectName(QStringLiteral("horizontalLayout"));
    ui->toolBtnDiscover = makeToolButton(frame, "toolBtnDiscover", ":/res/icon/search.png", tr("Discover"));
    ui->toolBtnStart = makeToolButton(frame, "toolBtnStart", ":/res/icon/start.png", tr("Start"));
    ui->toolBtnSnap = makeToolButton(frame, "toolBtnSnap", ":/res/icon/snap.png", tr("Snap/Pause"));
    ui->toolBtnStop = makeToolButton(frame, "toolBtnStop", ":/res/icon/stop.png", tr("Stop"));
    ui->toolBtnStop->setEnabled(false);
    ui->toolBtnSave = makeToolButton(frame, "toolBtnSave", ":/res/icon/save.png", tr("Save"));
    ui->toolBtnSave->setEnabled(false);
    for (QToolButton* button : {ui->toolBtnDiscover, ui->toolBtnStart, ui->toolBtnSnap, ui->toolBtnStop,
                                ui->toolBtnSave})
        firstRow->addWidget(button);
    firstRow->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    ui->toolBtnSaveLoadSettings = new QToolButton(frame);
    ui->toolBtnSaveLoadSettings->setObjectName(QStringLiteral("toolBtnSaveLoadSettings"));
    ui->toolBtnSaveLoadSettings->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ui->toolBtnSaveLoadSettings->setMinimumSize(0, 0);
    ui->toolBtnSaveLoadSettings->setIconSize(QSize(32, 32));
    ui->toolBtnSaveLoadSettings->setPopupMode(QToolButton::MenuButtonPopup);
    ui->toolBtnSaveLoadSettings->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ui->toolBtnSaveLoadSettings->setAutoRaise(true);
    ui->toolBtnSaveLoadSettings->setArrowType(Qt::NoArrow);
    ui->toolBtnSaveLoadSettings->setText(QStringLiteral("..."));
    firstRow->addWidget(ui->toolBtnSaveLoadSettings);
    inner->addLayout(firstRow);

    auto* secondRow = new QHBoxLayout();
    secondRow->setObjectName(QStringLiteral("horizontalLayout_3"));
    ui->cmbVisibility = new QComboBox(frame);
    ui->cmbVisibility->setObjectName(QStringLiteral("cmbVisibility"));
    ui->cmbVisibility->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ui->cmbVisibility->setMinimumWidth(120);
    secondRow->addWidget(ui->cmbVisibility);
    ui->btnRefreshFeatureTree = new QToolButton(frame);
    ui->btnRefreshFeatureTree->setObjectName(QStringLiteral("btnRefreshFeatureTree"));
    ui->btnRefreshFeatureTree->setIcon(QIcon(QStringLiteral(":/res/icon/refresh.png")));
    ui->btnRefreshFeatureTree->setAutoRaise(true);
    secondRow->addWidget(ui->btnRefreshFeatureTree);
    ui->chkAutoSave = new QCheckBox(tr("Auto Save"), frame);
    ui->chkAutoSave->setObjectName(QStringLiteral("chkAutoSave"));
    ui->chkAutoSave->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    secondRow->addWidget(ui->chkAutoSave);
    ui->spinAutoSaveCount = new QSpinBox(frame);
    ui->spinAutoSaveCount->setObjectName(QStringLiteral("spinAutoSaveCount"));
    ui->spinAutoSaveCount->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ui->spinAutoSaveCount->setMinimumWidth(60);
    ui->spinAutoSaveCount->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    ui->spinAutoSaveCount->setGroupSeparatorShown(false);
    ui->spinAutoSaveCount->setRange(1, 1000000000);
    ui->spinAutoSaveCount->setValue(16);
    secondRow->addWidget(ui->spinAutoSaveCount);
    ui->pbAutoSave = new QProgressBar(frame);
    ui->pbAutoSave->setObjectName(QStringLiteral("pbAutoSave"));
    ui->pbAutoSave->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    ui->pbAutoSave->setValue(0);
    ui->pbAutoSave->setAlignment(Qt::AlignJustify | Qt::AlignVCenter);
    ui->pbAutoSave->setTextVisible(true);
    ui->pbAutoSave->setInvertedAppearance(false);
    ui->pbAutoSave->setFormat(QString());
    secondRow->addWidget(ui->pbAutoSave);
    ui->searchBox = new ZelSearchLineEdit(frame);
    ui->searchBox->setObjectName(QStringLiteral("searchBox"));
    ui->searchBox->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ui->searchBox->setMinimumWidth(200);
    secondRow->addWidget(ui->searchBox);
    inner->addLayout(secondRow);

    ui->featureTreeTabWidgets = new QTabWidget(frame);
    ui->featureTreeTabWidgets->setObjectName(QStringLiteral("featureTreeTabWidgets"));
    ui->featureTreeTabWidgets->setTabPosition(QTabWidget::North);
    ui->featureTreeTabWidgets->setTabShape(QTabWidget::Rounded);
    ui->featureTreeTabWidgets->setDocumentMode(false);
    inner->addWidget(ui->featureTreeTabWidgets);
}

ZelFeatureTreeWidget* ZelPropertyWidget::treeAt(int tab) const
{
    return qobject_cast<ZelFeatureTreeWidget*>(ui->featureTreeTabWidgets->widget(tab));
}

ZelFeatureTreeWidget* ZelPropertyWidget::currentTree() const
{
    return treeAt(ui->featureTreeTabWidgets->currentIndex());
}

void ZelPropertyWidget::setFeatureManagers(ZelFeatureManager* remoteDevice, ZelFeatureManager* system,
                                           ZelFeatureManager* interface, ZelFeatureManager* device,
                                           ZelFeatureManager* dataStream, bool readOnly, bool hasDataStream)
{
    if (initialised)
        return;
    if (readOnly || !hasDataStream) {
        for (QWidget* w : std::initializer_list<QWidget*>{ui->toolBtnStart, ui->toolBtnSnap, ui->toolBtnSave,
                                                          ui->chkAutoSave, ui->spinAutoSaveCount})
            w->setEnabled(false);
    }
    QTabWidget* tabs = ui->featureTreeTabWidgets;
    if (remoteDevice) {
        remoteDeviceTree = new ZelFeatureTreeWidget(remoteDevice, readOnly, this);
        tabs->addTab(remoteDeviceTree, tr("Remote Device"));
        connect(remoteDeviceTree, SIGNAL(deviceResetClicked()), this, SIGNAL(deviceResetCommandExecute()));
    }
    if (system)
        tabs->addTab(new ZelFeatureTreeWidget(system, false, this), tr("System"));
    if (interface)
        tabs->addTab(new ZelFeatureTreeWidget(interface, false, this), tr("Interface"));
    if (device) {
        auto* deviceTree = new ZelFeatureTreeWidget(device, false, this);
        tabs->addTab(deviceTree, tr("Device"));
        connect(deviceTree, SIGNAL(updateXMLClicked()), this, SLOT(OnUpdateXML()));
    }
    if (dataStream)
        tabs->addTab(new ZelFeatureTreeWidget(dataStream, false, this), tr("Data Stream"));
    tabs->setCurrentIndex(0);

    rebuildAllTrees(ui->cmbVisibility->currentIndex());
    connect(tabs, SIGNAL(currentChanged(int)), this, SLOT(_onFeatureTreeWidgetChange(int)));
    ui->btnRefreshFeatureTree->setEnabled(true);

    if (remoteDevice)
        remoteDevice->EnableInvalidation(true);
    for (ZelFeatureManager* other : {system, interface, device, dataStream}) {
        if (other)
            other->EnableInvalidation(false);
    }
    initialised = true;
}

void ZelPropertyWidget::releaseFeatureTrees()
{
    if (!initialised)
        return;
    if (remoteDeviceTree)
        disconnect(remoteDeviceTree, SIGNAL(deviceResetClicked()), this, SIGNAL(deviceResetCommandExecute()));
    disconnect(ui->featureTreeTabWidgets, SIGNAL(currentChanged(int)), this, SLOT(_onFeatureTreeWidgetChange(int)));
    for (int tab = 0; tab < ui->featureTreeTabWidgets->count(); ++tab) {
        if (ZelFeatureTreeWidget* tree = treeAt(tab))
            tree->releaseModel();
    }
}

void ZelPropertyWidget::refreshCurrentTree()
{
    if (ZelFeatureTreeWidget* tree = currentTree())
        tree->refreshWatchedFeatures();
}

void ZelPropertyWidget::setAcquisitionState(int state)
{
    switch (state) {
    case 0:
        ui->toolBtnStart->setEnabled(true);
        ui->toolBtnStop->setEnabled(false);
        ui->toolBtnSaveLoadSettings->setEnabled(true);
        break;
    case 1:
        ui->toolBtnStart->setEnabled(false);
        ui->toolBtnStop->setEnabled(true);
        ui->toolBtnSaveLoadSettings->setEnabled(false);
        break;
    case 2:
        ui->toolBtnStart->setEnabled(true);
        ui->toolBtnStop->setEnabled(true);
        ui->toolBtnSaveLoadSettings->setEnabled(false);
        break;
    default:
        break;
    }
}

void ZelPropertyWidget::setSaveEnabled(bool enable)
{
    ui->toolBtnSave->setEnabled(enable);
}

void ZelPropertyWidget::rebuildAllTrees(int level)
{
    for (int tab = 0; tab < ui->featureTreeTabWidgets->count(); ++tab) {
        if (ZelFeatureTreeWidget* tree = treeAt(tab))
            tree->rebuildModel(level, tab == 0, false);
    }
    updateCompleter();
}

void ZelPropertyWidget::updateCompleter()
{
    ZelFeatureTreeWidget* tree = currentTree();
    // The completer deletes the list it held, since it is that list's parent.
    completer->setModel(new QStringListModel(tree ? tree->displayNames() : QStringList(), completer));
}

void ZelPropertyWidget::_onVisibilityChange(int newVisibility)
{
    ZelAppSettings::instance()->setValue(QStringLiteral("Settings"), QStringLiteral("FeatureVisibility"), newVisibility);
    rebuildAllTrees(newVisibility);
}

void ZelPropertyWidget::_onFeatureTreeWidgetChange(int index)
{
    updateCompleter();
    for (int tab = 0; tab < ui->featureTreeTabWidgets->count(); ++tab) {
        if (ZelFeatureTreeWidget* tree = treeAt(tab))
            tree->enableInvalidation(tab == index);
    }
    refreshCurrentTree();
}

void ZelPropertyWidget::_onHighlightSearchedFeature(QString text)
{
    if (ZelFeatureTreeWidget* tree = currentTree())
        tree->highlightFeature(text);
}

void ZelPropertyWidget::_onSearchBoxReturnPressed()
{
    if (ZelFeatureTreeWidget* tree = currentTree())
        tree->highlightFeature(ui->searchBox->text());
}

int ZelPropertyWidget::autoSaveCount() const
{
    return ui->spinAutoSaveCount->cleanText().toInt();
}

void ZelPropertyWidget::_onChkAutoSaveClicked(bool bChecked)
{
    const int count = autoSaveCount();
    if (!bChecked) {
        ui->spinAutoSaveCount->setEnabled(true);
        emit autoSaveEnable(false, count);
        return;
    }
    ZelAppSettings* settings = ZelAppSettings::instance();
    const QString start = settings->value(QStringLiteral("Directory"), QStringLiteral("SaveImageDir")).toString();
    const QString folder = ZelDialogs::getExistingDirectory(this, tr("Open Directory"), start,
                                                            QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty()) {
        const QSignalBlocker block(ui->chkAutoSave);
        ui->chkAutoSave->setChecked(false);
        return;
    }
    settings->setValue(QStringLiteral("Directory"), QStringLiteral("SaveImageDir"), folder);
    ui->spinAutoSaveCount->setEnabled(false);
    ui->pbAutoSave->setValue(0);
    ui->pbAutoSave->setMaximum(count);
    ui->pbAutoSave->setFormat(QString());
    emit autoSaveEnable(true, count);
}

void ZelPropertyWidget::_onSpinAutoSaveValueChanged(int value)
{
    ZelAppSettings::instance()->setValue(QStringLiteral("Settings"), QStringLiteral("AutoSaveCount"), value);
}

void ZelPropertyWidget::OnImageSaveComplete()
{
    const int value = ui->pbAutoSave->value() + 1;
    ui->pbAutoSave->setValue(qMin(value, ui->pbAutoSave->maximum()));
    ui->pbAutoSave->setFormat(QStringLiteral("%1/%2").arg(value).arg(ui->pbAutoSave->maximum()));
}

void ZelPropertyWidget::OnInvalidateRequested(QString featureName, QString condition)
{
    if (remoteDeviceTree)
        remoteDeviceTree->invalidateFeature(featureName, condition);
}

void ZelPropertyWidget::OnUpdateXML()
{
    if (!remoteDeviceTree)
        return;
    remoteDeviceTree->rebuildModel(ui->cmbVisibility->currentIndex(), true, true);
    // The search offers the new description's names.
    updateCompleter();
}
