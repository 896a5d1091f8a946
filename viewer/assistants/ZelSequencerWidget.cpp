#include "ZelSequencerWidget.h"

#include "ZelAppSettings.h"
#include "ZelAssistantXml.h"
#include "ZelDialogs.h"
#include "ZelFeatureData.h"
#include "ZelFeatureManager.h"
#include "ZelSequencerItem.h"
#include "ZelSequencerModel.h"
#include "ZelSequencerSettingDocument.h"
#include "ZelUtil.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString directoryGroup = QStringLiteral("Directory");
const QString folderKey = QStringLiteral("SeqSettingsFileDir");
const QString fileFilter = QStringLiteral("seqsetting (*.seqsetting)");
const QString applyTitle = QStringLiteral("Sequencer");
constexpr int defaultRowLimit = 16;

const QStringList setFeatures = {"SeqInterval", "SeqPulseAStart", "SeqPulseAStop", "SeqPulseBStart",
                                 "SeqPulseBStop", "PWMMax", "PWMChange0", "PWMChange1",
                                 "PWMChange2", "PWMChange3"};

QList<ZelSequencerModel::Column> columnList()
{
    QList<ZelSequencerModel::Column> columns{{"SeqSelector", QString()}};
    for (const QString& name : setFeatures) {
        const auto kind = ZelSequencerUnits::kindOf(name);
        columns.append({name, kind == ZelSequencerUnits::Kind::Time        ? "us"
                              : kind == ZelSequencerUnits::Kind::PwmPeriod ? "hz"
                                                                           : "%"});
    }
    return columns;
}

class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

QString setLabel(const QString& feature, int row) { return QStringLiteral("%1 (set %2)").arg(feature).arg(row); }
QString lineLabel(const QString& feature, const QString& line)
{
    return QStringLiteral("%1 (line %2)").arg(feature, line);
}

} // namespace

ZelSequencerLineBox zelSequencerLineBox(const QString& lineName)
{
    if (lineName.contains(QLatin1String("sequenzer"), Qt::CaseInsensitive) ||
        lineName.contains(QLatin1String("sequencer"), Qt::CaseInsensitive))
        return ZelSequencerLineBox::Sequencer;
    if (lineName.contains(QLatin1String("trigger"), Qt::CaseInsensitive))
        return ZelSequencerLineBox::Trigger;
    for (int i = 0; i < 4; ++i) {
        if (lineName.contains(QStringLiteral("Output %1").arg(i), Qt::CaseInsensitive))
            return ZelSequencerLineBox(int(ZelSequencerLineBox::Output0) + i);
    }
    return ZelSequencerLineBox::None;
}

ZelSequencerWidget::ZelSequencerWidget(ZelFeatureManager* remoteDevice, QString cameraName, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , featureManager(remoteDevice)
{
    buildForm();
    setWindowTitle(QStringLiteral("Sequencer (") + cameraName + QLatin1Char(')'));
    setAttribute(Qt::WA_DeleteOnClose);
    connect(ui.toolBtnAdd, &QToolButton::clicked, this, &ZelSequencerWidget::_onToolBtnAddClicked);
    connect(ui.toolBtnRemove, &QToolButton::clicked, this, &ZelSequencerWidget::_onToolBtnRemoveClicked);

    m_importAction = new QAction(QIcon(":/res/icon/savesettings.ico"), QStringLiteral("Import Settings..."), this);
    m_exportAction = new QAction(QIcon(":/res/icon/loadsettings.ico"), QStringLiteral("Export Settings..."), this);
    connect(m_importAction, &QAction::triggered, this, &ZelSequencerWidget::_onImportSettingsClicked);
    connect(m_exportAction, &QAction::triggered, this, &ZelSequencerWidget::_onExportSettingsClicked);
    ui.toolBtnImportExport->addAction(m_importAction);
    ui.toolBtnImportExport->addAction(m_exportAction);
    ui.toolBtnImportExport->setDefaultAction(m_importAction);

    featureManager->EnableInvalidation(false);
    initTable();
    initControls();
    restoreDefaults();
    featureManager->EnableInvalidation(true);
    ZelUtil::FitToContents(this);
}

ZelSequencerWidget::~ZelSequencerWidget() = default;

void ZelSequencerWidget::buildForm()
{
    setObjectName(QStringLiteral("ZelSequencerWidget"));
    resize(940, 520);
    setMinimumSize(940, 520);

    auto toolButton = [this](const char* name, const QString& text, const QString& icon) {
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(name));
        button->setText(text);
        button->setIcon(QIcon(icon));
        button->setIconSize(QSize(24, 24));
        button->setAutoRaise(true);
        return button;
    };
    ui.toolBtnAdd = toolButton("toolBtnAdd", "...", ":/res/icon/add.png");
    ui.toolBtnRemove = toolButton("toolBtnRemove", "...", ":/res/icon/remove.png");
    ui.toolBtnImportExport = toolButton("toolBtnImportExport", "Import Settings", ":/res/icon/loadsettings.ico");
    ui.toolBtnImportExport->setPopupMode(QToolButton::MenuButtonPopup);
    ui.toolBtnImportExport->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    auto* tools = new QHBoxLayout;
    tools->addWidget(ui.toolBtnAdd);
    tools->addWidget(ui.toolBtnRemove);
    tools->addStretch();
    tools->addWidget(ui.toolBtnImportExport);

    ui.tblViewSequencer = new QTableView(this);
    ui.tblViewSequencer->setObjectName(QStringLiteral("tblViewSequencer"));

    ui.groupBox = new QGroupBox(QStringLiteral("Sequencer Control"), this);
    ui.groupBox->setObjectName(QStringLiteral("groupBox"));
    ui.groupBox->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* grid = new QGridLayout(ui.groupBox);
    grid->setObjectName(QStringLiteral("gridLayout"));
    auto check = [this, grid](const char* name, const QString& text, int row) {
        auto* box = new QCheckBox(text, ui.groupBox);
        box->setObjectName(QLatin1String(name));
        grid->addWidget(box, row, 0);
        return box;
    };
    ui.chkEnableSequencer = check("chkEnableSequencer", "Enable Sequencer", 0);
    ui.chkEnablePWM = check("chkEnablePWM", "Enable PWM", 1);
    ui.chkEnableLoop = check("chkEnableLoop", "Enable Loop", 2);
    ui.chkEnableSequencer->setChecked(true);
    ui.chkEnableSequencer->setEnabled(false);
    ui.chkEnablePWM->setChecked(true);
    ui.chkEnablePWM->setEnabled(false);
    auto combo = [this, grid](const char* label, const QString& text, const char* name, int row, int column) {
        auto* caption = new QLabel(text, ui.groupBox);
        caption->setObjectName(QLatin1String(label));
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* box = new QComboBox(ui.groupBox);
        box->setObjectName(QLatin1String(name));
        grid->addWidget(caption, row, column);
        grid->addWidget(box, row, column + 1);
        return box;
    };
    ui.cmbTriggerMode = combo("label_7", "Trigger Mode:", "cmbTriggerMode", 0, 2);
    ui.cmbTriggerSource = combo("label_9", "Trigger Source:", "cmbTriggerSource", 1, 2);
    ui.cmbExposureMode = combo("label_10", "Exposure Mode:", "cmbExposureMode", 2, 2);
    ui.cmbTrigger = combo("label_5", "Trigger:", "cmbTrigger", 0, 4);
    ui.cmbSequencer = combo("label_8", "Sequencer:", "cmbSequencer", 1, 4);
    ui.cmbSeqTriggerMode = combo("label_11", "Seq Trigger Mode:", "cmbSeqTriggerMode", 2, 4);
    ui.cmbOutput0 = combo("label", "Output 0:", "cmbOutput0", 0, 6);
    ui.cmbOutput1 = combo("label_2", "Output 1:", "cmbOutput1", 1, 6);
    ui.cmbOutput2 = combo("label_3", "Output 2:", "cmbOutput2", 2, 6);
    ui.cmbOutput3 = combo("label_4", "Output 3:", "cmbOutput3", 5, 6);

    auto* content = new QVBoxLayout;
    content->addLayout(tools);
    content->addWidget(ui.tblViewSequencer);
    content->addWidget(ui.groupBox);

    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setMinimumSize(100, 30);
        return b;
    };
    ui.btnRestoreDefault = button("btnRestoreDefault", "Restore Default");
    ui.btnApplySettings = button("btnApplySettings", "Apply Settings");
    ui.btnStartSequencer = button("btnStartSequencer", "Start Sequencer");
    ui.btnStartSequencer->setToolTip(QStringLiteral("start sequencer with a software signal"));
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(9, 2, 0, 2);
    buttons->addStretch();
    buttons->addWidget(ui.btnRestoreDefault);
    buttons->addWidget(ui.btnApplySettings);
    buttons->addWidget(ui.btnStartSequencer);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(content);
    outer->addLayout(buttons);

    QMetaObject::connectSlotsByName(this);
}

ZelSequencerModel* ZelSequencerWidget::model() const
{
    return qobject_cast<ZelSequencerModel*>(ui.tblViewSequencer->model());
}

int ZelSequencerWidget::readRowLimit()
{
    ZelFeatureData data;
    if (!featureManager->GetData("SeqCount", data))
        return defaultRowLimit;
    return int(data.info.intMax);
}

void ZelSequencerWidget::setModel(ZelSequencerModel* model)
{
    // The camera's bounds of each column, for every set the model holds.
    QHash<QString, ZelSequencerModel::Bounds> bounds;
    for (const QString& name : setFeatures) {
        ZelFeatureData data;
        if (featureManager->GetData(name.toUtf8().constData(), data))
            bounds.insert(name, {data.info.intMin, data.info.intMax});
    }
    model->setCameraBounds(bounds);
    QAbstractItemModel* old = ui.tblViewSequencer->model();
    ui.tblViewSequencer->setModel(model);
    delete old;
}

void ZelSequencerWidget::initTable()
{
    QTableView* view = ui.tblViewSequencer;
    view->setStyleSheet(QStringLiteral("QHeaderView::section { background-color:rgb(240, 240, 240) }"));
    view->verticalHeader()->hide();
    view->horizontalHeader()->setHighlightSections(false);
    view->setSortingEnabled(false);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);

    const int rowLimit = readRowLimit();
    setModel(new ZelSequencerModel(columnList(), readSequencerSets(rowLimit), rowLimit, view));
    view->setItemDelegate(new ZelSequencerDelegate(view));

    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    view->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    view->resizeColumnsToContents();
    fitTableWidth();
}

void ZelSequencerWidget::fitTableWidth()
{
    // The stretched columns share the width evenly: each gets what the
    // widest heading or value needs.
    QTableView* view = ui.tblViewSequencer;
    const QAbstractItemView* cells = view;
    QHeaderView* header = view->horizontalHeader();
    const int columns = header->count();
    int widest = 0;
    for (int c = 1; c < columns; ++c)
        widest = qMax(widest, qMax(header->sectionSizeHint(c), cells->sizeHintForColumn(c)));
    view->setMinimumWidth(header->sectionSize(0) + (columns - 1) * widest + 2 * view->frameWidth()
                          + view->verticalScrollBar()->sizeHint().width());
}

QList<ZelSequencerItem*> ZelSequencerWidget::readSequencerSets(int maxRows)
{
    QList<ZelSequencerItem*> sets;
    m_seqSelector = featureManager->FindByName("SeqSelector");
    ZelFeatureData selector;
    if (!m_seqSelector || !featureManager->GetData(m_seqSelector, selector))
        return sets;
    for (qint64 s = selector.info.intMin; s <= selector.info.intMax && sets.size() < maxRows; ++s) {
        if (!featureManager->SetValue(m_seqSelector, QVariant(s))) {
            qDeleteAll(sets);
            return {};
        }
        QList<ZelSequencerEntry*> entries;
        qint64 period = 0;
        bool periodRead = false;
        for (const QString& name : setFeatures) {
            ZelFeatureData data;
            if (!featureManager->GetData(name.toUtf8().constData(), data) || !data.value.isValid())
                continue;
            auto* entry = new ZelSequencerEntry;
            entry->featureName = QString::fromUtf8(data.info.name);
            const qint64 raw = data.value.toLongLong();
            if (ZelSequencerUnits::kindOf(name) == ZelSequencerUnits::Kind::DutyCycle) {
                // Without the period there is nothing to convert by.
                if (!periodRead) {
                    delete entry;
                    continue;
                }
                entry->value = period == 0 ? 0 : std::llround(double(raw) / double(period) * 100.0);
            } else {
                entry->value = raw;
                entry->minimum = data.info.intMin;
                entry->maximum = data.info.intMax;
                if (name == QLatin1String("PWMMax")) {
                    period = raw;
                    periodRead = true;
                }
            }
            entries.append(entry);
        }
        sets.append(new ZelSequencerItem(entries));
    }
    return sets;
}

QStringList ZelSequencerWidget::lineNames()
{
    ZelFeatureData lines;
    if (!featureManager->FindByName("LineSelector") || !featureManager->GetData("LineSelector", lines))
        return {};
    return lines.entries;
}

QComboBox* ZelSequencerWidget::lineBox(const QString& lineName) const
{
    QComboBox* const boxes[] = {ui.cmbSequencer, ui.cmbTrigger, ui.cmbOutput0,
                                ui.cmbOutput1,   ui.cmbOutput2, ui.cmbOutput3};
    const ZelSequencerLineBox box = zelSequencerLineBox(lineName);
    return box == ZelSequencerLineBox::None ? nullptr : boxes[int(box)];
}

void ZelSequencerWidget::initControls()
{
    const QPair<QComboBox*, const char*> enums[] = {{ui.cmbExposureMode, "ExposureMode"},
                                                    {ui.cmbTriggerMode, "TriggerMode"},
                                                    {ui.cmbTriggerSource, "TriggerSource"},
                                                    {ui.cmbSeqTriggerMode, "SeqTriggermode"}};
    for (const auto& e : enums) {
        ZelFeatureData data;
        if (featureManager->FindByName(e.second) && featureManager->GetData(e.second, data))
            e.first->addItems(data.entries);
    }
    const QStringList lines = lineNames();
    for (int k = 0; k < lines.size(); ++k) {
        ZelFeatureData sources;
        if (!featureManager->SetValue("LineSelector", QVariant(k)) || !featureManager->GetData("LineSource", sources))
            continue;
        if (QComboBox* box = lineBox(lines.at(k)))
            box->addItems(sources.entries);
    }
}

void ZelSequencerWidget::restoreDefaults()
{
    ui.chkEnablePWM->setChecked(true);
    ui.chkEnableSequencer->setChecked(true);
    ui.chkEnableLoop->setChecked(false);
    const QPair<QComboBox*, const char*> defaults[] = {
        {ui.cmbExposureMode, "Trigger Width"},   {ui.cmbSequencer, "Input 1"}, {ui.cmbTrigger, "SeqPulse A"},
        {ui.cmbTriggerMode, "On"},               {ui.cmbTriggerSource, "Line 1"},
        {ui.cmbSeqTriggerMode, "Trigger on high level"},
        {ui.cmbOutput0, "PWM 0"}, {ui.cmbOutput1, "PWM 1"}, {ui.cmbOutput2, "PWM 2"}, {ui.cmbOutput3, "PWM 3"}};
    for (const auto& d : defaults) {
        const int index = d.first->findText(QLatin1String(d.second));
        if (index >= 0)
            d.first->setCurrentIndex(index);
    }
}

QStringList ZelSequencerWidget::applySettings()
{
    QStringList failed;
    auto write = [this, &failed](const char* feature, const QVariant& value, const QString& label) {
        const bool ok = featureManager->SetValue(feature, value);
        if (!ok)
            failed << label;
        return ok;
    };
    ZelSequencerModel* table = model();
    const int rows = table ? table->rowCount() : 0;
    write("SeqCount", rows, QStringLiteral("SeqCount"));
    for (int r = 0; r < rows; ++r) {
        // Without the set selected, its values would land on another set.
        if (!write("SeqSelector", r, setLabel("SeqSelector", r)))
            continue;
        for (int c = 1; c < table->columnCount(); ++c) {
            const QVariant value = table->index(r, c).data(ZelSequencerModel::SeqRegisterValueRole);
            if (!value.isValid())
                continue;
            const QString name = table->headerData(c, Qt::Horizontal, ZelSequencerModel::SeqFeatureNameRole).toString();
            write(name.toUtf8().constData(), value.toLongLong(), setLabel(name, r));
        }
    }
    write("SeqLoop", ui.chkEnableLoop->isChecked(), QStringLiteral("SeqLoop"));
    write("SeqEnable", ui.chkEnableSequencer->isChecked(), QStringLiteral("SeqEnable"));
    write("PWMEnable", ui.chkEnablePWM->isChecked(), QStringLiteral("PWMEnable"));
    const QPair<QComboBox*, const char*> enums[] = {{ui.cmbTriggerMode, "TriggerMode"},
                                                    {ui.cmbTriggerSource, "TriggerSource"},
                                                    {ui.cmbExposureMode, "ExposureMode"},
                                                    {ui.cmbSeqTriggerMode, "SeqTriggermode"}};
    // A box without items stands for a feature the camera lacks.
    for (const auto& e : enums) {
        if (e.first->count() > 0)
            write(e.second, e.first->currentIndex(), QLatin1String(e.second));
    }
    const QStringList lines = lineNames();
    for (int k = 0; k < lines.size(); ++k) {
        if (!write("LineSelector", k, lineLabel("LineSelector", lines.at(k))))
            continue;
        QComboBox* box = lineBox(lines.at(k));
        if (box && box->count() > 0)
            write("LineSource", box->currentIndex(), lineLabel("LineSource", lines.at(k)));
    }
    return failed;
}

void ZelSequencerWidget::on_btnApplySettings_clicked()
{
    QStringList failed;
    {
        WaitCursor wait;
        failed = applySettings();
    }
    if (failed.isEmpty())
        ZelDialogs::information(this, applyTitle, QStringLiteral("Apply Sequencer Settings Successful!"));
    else
        ZelDialogs::warning(this, applyTitle,
                            QStringLiteral("Apply Sequencer Settings Failed!\n") + failed.join(QLatin1Char('\n')));
}

void ZelSequencerWidget::on_btnStartSequencer_clicked()
{
    WaitCursor wait;
    featureManager->SetValue("SeqTrigger", 1);
}

void ZelSequencerWidget::on_btnRestoreDefault_clicked() { restoreDefaults(); }

void ZelSequencerWidget::_onToolBtnAddClicked(bool)
{
    ZelSequencerModel* table = model();
    if (!table)
        return;
    int limit = table->headerData(0, Qt::Horizontal, ZelSequencerModel::SeqMaxRowsRole).toInt();
    if (limit == 0)
        limit = defaultRowLimit;
    const int row = table->rowCount();
    if (row >= limit)
        return;
    table->insertRows(row, 1);
    for (int c = 1; c < table->columnCount(); ++c) {
        table->setData(table->index(row, c), 0, Qt::EditRole);
        table->setData(table->index(row, c), 0, ZelSequencerModel::SeqMinimumRole);
    }
}

void ZelSequencerWidget::_onToolBtnRemoveClicked(bool)
{
    ZelSequencerModel* table = model();
    if (!table || table->rowCount() < 2)
        return;
    const QModelIndex current = ui.tblViewSequencer->currentIndex();
    table->removeRows(current.isValid() ? current.row() : table->rowCount() - 1, 1);
}

void ZelSequencerWidget::_onExportSettingsClicked(bool)
{
    ZelSequencerModel* table = model();
    if (!table)
        return;
    ZelSequencerSettingDocument document;
    for (int r = 0; r < table->rowCount(); ++r)
        document.appendSet(table->index(r, 0).data(ZelSequencerModel::SeqItemRole).value<ZelSequencerItem*>());
    ZelAppSettings* settings = ZelAppSettings::instance();
    const QString folder = settings->value(directoryGroup, folderKey).toString();
    const QString fileName =
        ZelDialogs::getSaveFileName(nullptr, QStringLiteral("Export Settings"), folder, fileFilter);
    if (fileName.isEmpty())
        return;
    if (saveDomDocument(document, fileName))
        ZelDialogs::information(this, QStringLiteral("Export Settings"), QStringLiteral("Export Successful!"));
    else
        ZelDialogs::critical(this, QStringLiteral("Export Settings"), QStringLiteral("Export Failed!"));
    const QString chosen = QFileInfo(fileName).absolutePath();
    if (chosen != folder)
        settings->setValue(directoryGroup, folderKey, chosen);
}

void ZelSequencerWidget::_onImportSettingsClicked(bool)
{
    const QString title = QStringLiteral("Import Settings");
    const QString folder = ZelAppSettings::instance()->value(directoryGroup, folderKey).toString();
    const QString fileName = ZelDialogs::getOpenFileName(nullptr, title, folder, fileFilter);
    if (fileName.isEmpty())
        return;
    QList<ZelSequencerItem*> sets;
    ZelSequencerSettingDocument document;
    if (!document.load(fileName, sets)) {
        ZelDialogs::critical(this, title, QStringLiteral("Import Failed!"));
        return;
    }
    const int rowLimit = readRowLimit();
    if (sets.size() > rowLimit) {
        ZelDialogs::critical(this, title,
                             QStringLiteral("Import Failed! The file holds %1 sets; this camera supports at most %2.")
                                 .arg(sets.size())
                                 .arg(rowLimit));
        qDeleteAll(sets);
        return;
    }
    setModel(new ZelSequencerModel(columnList(), sets, rowLimit, ui.tblViewSequencer));
    ZelDialogs::information(this, title, QStringLiteral("Import Successful!"));
}
