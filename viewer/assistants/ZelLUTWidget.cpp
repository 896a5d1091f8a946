#include "ZelLUTWidget.h"

#include "ZelAppSettings.h"
#include "ZelConstants.h"
#include "ZelDialogs.h"
#include "ZelFeatureData.h"
#include "ZelFeatureManager.h"
#include "ZelLUTModel.h"
#include "ZelLUTSettingsFile.h"
#include "ZelLUTView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QString folderGroup = QStringLiteral("Directory");
const QString folderKey = QStringLiteral("LutSettingsFileDir");
const QString fileFilter = QStringLiteral("xml (*.xml)");

template <class T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text)
{
    auto* b = named(new QPushButton(text, parent), name);
    b->setAutoDefault(true);
    return b;
}

} // namespace

ZelLUTWidget::ZelLUTWidget(ZelFeatureManager* remoteDevice, QString cameraName, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , featureManager(remoteDevice)
{
    buildForm();
    setWindowTitle(QStringLiteral("LUT Editor(") + cameraName + QLatin1Char(')'));
    setAttribute(Qt::WA_DeleteOnClose);
    // The table belongs to the selector entry it is read for: the box shows
    // that entry and cannot switch to another.
    ui.cmbLUTSelector->setEnabled(false);
    if (!featureManager)
        return;

    ZelFeatureData selector;
    if (featureManager->GetData("LUTSelector", selector)) {
        ui.cmbLUTSelector->addItems(selector.entries);
        const int current = selector.info.enumIndex;
        if (current >= 0 && current < selector.entries.size()) {
            ui.cmbLUTSelector->setCurrentIndex(current);
            m_selectorEntry = selector.entries.at(current);
        }
    }
    ZelFeatureData enable;
    if (featureManager->GetData("LUTEnable", enable))
        ui.chkEnable->setChecked(enable.value.toBool());

    readTable();
    if (!m_model)
        return;
    ui.LUTView->setModel(m_model);
    ui.rbManual->setChecked(true);
    connect(ui.chkEnable, &QCheckBox::clicked, this, &ZelLUTWidget::_onChkEnableClicked);
    ui.spinGamma->installEventFilter(this);
    ui.lblControlHint->setText(ZelConstants::LutHelpText);
}

ZelLUTWidget::~ZelLUTWidget() = default;

void ZelLUTWidget::buildForm()
{
    setObjectName(QStringLiteral("ZelLUTWidget"));
    resize(800, 640);
    setMinimumSize(800, 640);
    setWindowIcon(QIcon(QStringLiteral(":/res/icon/ms-icon-144x144.png")));
    setWindowTitle(QStringLiteral("Form"));
    const int side = style()->pixelMetric(QStyle::PM_LayoutLeftMargin);

    auto* outer = named(new QVBoxLayout(this), "verticalLayout_4");
    auto* group = named(new QGroupBox(QStringLiteral("LUT Control"), this), "groupBox");
    auto* control = named(new QHBoxLayout(group), "horizontalLayout");
    control->setContentsMargins(side, 2, side, 6);
    control->addWidget(named(new QLabel(QStringLiteral("LUT Selector:"), group), "label"));
    ui.cmbLUTSelector = named(new QComboBox(group), "cmbLUTSelector");
    ui.cmbLUTSelector->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ui.cmbLUTSelector->setFixedWidth(150);
    control->addWidget(ui.cmbLUTSelector);
    ui.chkEnable = named(new QCheckBox(QStringLiteral("Enable"), group), "chkEnable");
    control->addWidget(ui.chkEnable);
    control->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    outer->addWidget(group);

    auto* middle = named(new QHBoxLayout, "horizontalLayout_4");
    auto* buttons = named(new QVBoxLayout, "verticalLayout");
    buttons->addItem(new QSpacerItem(20, 60, QSizePolicy::Minimum, QSizePolicy::Fixed));
    ui.btnInvert = button(this, "btnInvert", QStringLiteral("Invert"));
    ui.btnImport = button(this, "btnImport", QStringLiteral("Import..."));
    ui.btnExport = button(this, "btnExport", QStringLiteral("Export..."));
    for (QPushButton* b : {ui.btnInvert, ui.btnImport, ui.btnExport})
        buttons->addWidget(b);
    buttons->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
    middle->addLayout(buttons);

    auto* right = named(new QVBoxLayout, "verticalLayout_3");
    ui.tabLUTWidget = named(new QTabWidget(this), "tabLUTWidget");
    ui.tabLUTGraphWidget = named(new QWidget, "tabLUTGraphWidget");
    auto* page = named(new QVBoxLayout(ui.tabLUTGraphWidget), "verticalLayout_2");
    page->setSpacing(4);
    page->setContentsMargins(0, 0, 0, 0);
    auto* modes = named(new QHBoxLayout, "horizontalLayout_3");
    modes->setContentsMargins(9, 6, 9, 6);
    ui.rbManual = named(new QRadioButton(QStringLiteral("Manual"), ui.tabLUTGraphWidget), "rbManual");
    ui.rbKnee = named(new QRadioButton(QStringLiteral("Knee"), ui.tabLUTGraphWidget), "rbKnee");
    ui.spinGamma = named(new QDoubleSpinBox(ui.tabLUTGraphWidget), "spinGamma");
    ui.spinGamma->setMinimumWidth(60);
    ui.spinGamma->setRange(0.01, 10.0);
    ui.spinGamma->setSingleStep(0.01);
    ui.spinGamma->setValue(1.0);
    ui.btnReset = button(ui.tabLUTGraphWidget, "btnReset", QStringLiteral("Reset"));
    modes->addWidget(ui.rbManual);
    modes->addWidget(ui.rbKnee);
    modes->addWidget(named(new QLabel(QStringLiteral("Gamma:"), ui.tabLUTGraphWidget), "lblGamma"));
    modes->addWidget(ui.spinGamma);
    modes->addWidget(ui.btnReset);
    modes->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    page->addLayout(modes);
    ui.LUTView = named(new ZelLUTView(ui.tabLUTGraphWidget), "LUTView");
    ui.LUTView->setMinimumSize(0, 0);
    page->addWidget(ui.LUTView, 1);
    ui.tabLUTWidget->addTab(ui.tabLUTGraphWidget, QStringLiteral("LUT Graph"));
    ui.tabLUTWidget->setCurrentIndex(0);
    right->addWidget(ui.tabLUTWidget);
    ui.lblControlHint = named(new QLabel(this), "lblControlHint");
    right->addWidget(ui.lblControlHint);
    middle->addLayout(right);
    outer->addLayout(middle);

    auto* bottom = named(new QHBoxLayout, "horizontalLayout_2");
    bottom->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    ui.btnSaveLUTSettings = button(this, "btnSaveLUTSettings", QStringLiteral("Apply LUT Settings"));
    bottom->addWidget(ui.btnSaveLUTSettings);
    outer->addLayout(bottom);

    QMetaObject::connectSlotsByName(this);
}

void ZelLUTWidget::readTable()
{
    if (!featureManager->FindByName("LUTIndex") || !featureManager->FindByName("LUTValue"))
        return;
    ZelFeatureData index;
    ZelFeatureData value;
    if (!featureManager->GetData("LUTIndex", index) || !featureManager->GetData("LUTValue", value))
        return;
    const qint64 minimum = index.info.intMin;
    const qint64 maximum = index.info.intMax;
    const qint64 increment = index.info.intInc;
    // Without a step the indexes never end.
    if (increment < 1 || maximum < minimum)
        return;

    QVector<double> values;
    bool complete = true;
    featureManager->EnableInvalidation(false);
    for (qint64 i = minimum;; i += increment) {
        QVariant entry;
        if (!featureManager->SetValue("LUTIndex", QVariant(i)) ||
            !featureManager->GetValue("LUTValue", entry) || !entry.isValid()) {
            complete = false;
            break;
        }
        values.append(double(entry.toLongLong()));
        if (maximum - i < increment)
            break;
    }
    featureManager->EnableInvalidation(true);
    // A missing entry would move every later one: no table rather than a
    // wrong one.
    if (!complete)
        return;
    m_indexMinimum = minimum;
    m_indexIncrement = increment;
    m_valueMinimum = value.info.intMin;
    m_valueMaximum = value.info.intMax;
    m_model = new ZelLUTModel(values, double(value.info.intMax), ui.tabLUTGraphWidget);
}

void ZelLUTWidget::manualModeGuard()
{
    if (!ui.rbManual->isChecked())
        ui.rbManual->setChecked(true);
}

bool ZelLUTWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui.spinGamma && event->type() == QEvent::FocusIn) {
        const double gamma = ui.spinGamma->value();
        manualModeGuard();
        ui.LUTView->applyGamma(gamma);
    }
    return QWidget::eventFilter(watched, event);
}

void ZelLUTWidget::_onChkEnableClicked(bool bChecked)
{
    featureManager->SetValue("LUTEnable", QVariant(bChecked), false);
}

void ZelLUTWidget::on_btnSaveLUTSettings_clicked()
{
    if (!m_model || !featureManager)
        return;
    const QVector<double> values = ui.LUTView->values();
    if (!featureManager->FindByName("LUTIndex") || !featureManager->FindByName("LUTValue"))
        return;
    ZelFeatureData index;
    if (!featureManager->GetData("LUTIndex", index))
        return;
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    featureManager->EnableInvalidation(false);
    // The camera's selector may have moved since the table was read.
    if (!m_selectorEntry.isEmpty()) {
        QVariant current;
        if (!featureManager->GetValueExt("LUTSelector", current) || current.toString() != m_selectorEntry)
            featureManager->SetValueEnum("LUTSelector", m_selectorEntry.toUtf8().constData());
    }
    int refused = 0;
    for (int i = 0; i < values.size(); ++i) {
        // Each entry goes back to the index it was read from.
        const qint64 at = m_indexMinimum + qint64(i) * m_indexIncrement;
        if (!featureManager->SetValue("LUTIndex", QVariant(at), false) ||
            !featureManager->SetValue("LUTValue", QVariant(values.at(i)), false))
            ++refused;
    }
    featureManager->SetValue("LUTEnable", QVariant(ui.chkEnable->isChecked()), false);
    featureManager->EnableInvalidation(true);
    QApplication::restoreOverrideCursor();
    if (refused > 0) {
        ZelDialogs::critical(this, QStringLiteral("Apply LUT Settings"),
                             QStringLiteral("The camera refused %1 of %2 LUT values.").arg(refused).arg(values.size()));
    }
}

void ZelLUTWidget::on_spinGamma_valueChanged(double value)
{
    manualModeGuard();
    ui.LUTView->applyGamma(value);
}

void ZelLUTWidget::on_rbKnee_toggled(bool checked)
{
    if (!checked)
        return;
    ui.LUTView->setMode(1);
    ui.lblControlHint->setText(ZelConstants::PointEditorHelpText);
}

void ZelLUTWidget::on_rbManual_toggled(bool checked)
{
    if (!checked)
        return;
    ui.LUTView->setMode(0);
    ui.lblControlHint->setText(ZelConstants::LutHelpText);
}

void ZelLUTWidget::on_btnImport_clicked()
{
    const QString folder = ZelAppSettings::instance()->value(folderGroup, folderKey, QVariant()).toString();
    const QString name = ZelDialogs::getOpenFileName(nullptr, QStringLiteral("Import Settings"), folder, fileFilter);
    if (name.isEmpty())
        return;
    // Only the first table is read, and no more entries than the camera's
    // table holds: a file too large is refused at its first entry too many.
    ZelLUTSelectorEntry entry;
    QString reason;
    if (!ZelLUTSettingsFile::readFirstTable(name, m_model ? m_model->rowCount() : -1, m_valueMinimum, m_valueMaximum,
                                            entry, &reason)) {
        ZelDialogs::critical(this, QStringLiteral("Import Settings"), QStringLiteral("Import Failed!\n") + reason);
        return;
    }
    if (!m_model)
        return;
    ui.chkEnable->setChecked(entry.enable);
    const int k = entry.values.size();
    for (int i = 0; i < k; ++i)
        m_model->setData(m_model->index(i), entry.values.at(i), Qt::EditRole);
    const int last = qMin(k, m_model->rowCount()) - 1;
    if (last >= 0)
        m_model->announce(0, last);
    ZelDialogs::information(this, QStringLiteral("Import Settings"), QStringLiteral("Import Successful!"));
}

void ZelLUTWidget::on_btnExport_clicked()
{
    const QString folder = ZelAppSettings::instance()->value(folderGroup, folderKey, QVariant()).toString();
    const QString name = ZelDialogs::getSaveFileName(nullptr, QStringLiteral("Export Settings"), folder, fileFilter);
    if (name.isEmpty() || !m_model)
        return;
    ZelLUTSelectorEntry entry;
    entry.name = ui.cmbLUTSelector->currentText();
    entry.enable = ui.chkEnable->isChecked();
    entry.values = ui.LUTView->values();
    ZelLUTSettingsFile file;
    if (file.save(name, {entry}))
        ZelDialogs::information(this, QStringLiteral("Export Settings"), QStringLiteral("Export Successful!"));
    else
        ZelDialogs::critical(this, QStringLiteral("Export Settings"), QStringLiteral("Export Failed!"));
    const QString chosen = QFileInfo(name).absolutePath();
    if (chosen != folder)
        ZelAppSettings::instance()->setValue(folderGroup, folderKey, chosen);
}

void ZelLUTWidget::on_btnInvert_clicked()
{
    manualModeGuard();
    ui.LUTView->invert();
}

void ZelLUTWidget::on_btnReset_clicked()
{
    manualModeGuard();
    {
        const QSignalBlocker blocker(ui.spinGamma);
        ui.spinGamma->setValue(1.0);
    }
    ui.LUTView->applyGamma(1.0);
}
