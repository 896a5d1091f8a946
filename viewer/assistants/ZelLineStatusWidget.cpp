#include "ZelLineStatusWidget.h"

#include "ZelAppSettings.h"
#include "ZelFeatureManager.h"
#include "ZelLineStatusPlot.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpacerItem>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString settingsGroup = QStringLiteral("Settings");

QString graphKey(int lane)
{
    return QStringLiteral("LSGraph") + QString::number(lane + 1);
}

bool isOff(const QString& name)
{
    return name.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0;
}

QToolButton* iconButton(QWidget* parent, const char* name, const char* icon)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(QIcon(QLatin1String(icon)));
    button->setIconSize(QSize(32, 32));
    button->setAutoRaise(true);
    return button;
}

} // namespace

ZelLineStatusWidget::ZelLineStatusWidget(ZelFeatureManager* remoteDevice, QString cameraName, QWidget* parent)
    : QWidget(parent, Qt::Window), featureManager(remoteDevice)
{
    buildForm();
    setWindowTitle(QStringLiteral("Line Status (") + cameraName + QStringLiteral(")"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::ClickFocus);
    setUpLines();
    connect(ui.LineStatusPlot, &ZelLineStatusPlot::lineHovered, this, &ZelLineStatusWidget::_onLineHovered);
    connect(&timer, &QTimer::timeout, this, &ZelLineStatusWidget::_onTimeOut);
}

ZelLineStatusWidget::~ZelLineStatusWidget()
{
    timer.stop();
}

void ZelLineStatusWidget::buildForm()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ZelLineStatusWidget"));
    resize(640, 520);
    setMinimumSize(640, 520);
    auto* layout = new QVBoxLayout(this);

    ui.groupBox = new QGroupBox(this);
    ui.groupBox->setObjectName(QStringLiteral("groupBox"));
    auto* plotLayout = new QVBoxLayout(ui.groupBox);
    plotLayout->setSpacing(0);
    plotLayout->setContentsMargins(0, 0, 0, 0);
    ui.LineStatusPlot = new ZelLineStatusPlot(ui.groupBox);
    ui.LineStatusPlot->setObjectName(QStringLiteral("LineStatusPlot"));
    ui.LineStatusPlot->setMinimumSize(0, 0);
    ui.LineStatusPlot->setStyleSheet(QStringLiteral("background-color: rgb(0, 0, 0);"));
    plotLayout->addWidget(ui.LineStatusPlot);
    layout->addWidget(ui.groupBox, 1);

    auto* controls = new QHBoxLayout;
    ui.groupBox_3 = new QGroupBox(this);
    ui.groupBox_3->setObjectName(QStringLiteral("groupBox_3"));
    ui.groupBox_3->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    ui.groupBox_3->setMinimumWidth(180);
    auto* run = new QVBoxLayout(ui.groupBox_3);
    run->setContentsMargins(4, 4, 4, 4);
    auto* buttons = new QHBoxLayout;
    ui.btnStart = iconButton(ui.groupBox_3, "btnStart", ":/res/icon/start.png");
    ui.btnPause = iconButton(ui.groupBox_3, "btnPause", ":/res/icon/pause.png");
    ui.btnPause->setEnabled(false);
    ui.btnReset = iconButton(ui.groupBox_3, "btnReset", ":/res/icon/reset.png");
    buttons->addWidget(ui.btnStart);
    buttons->addWidget(ui.btnPause);
    buttons->addWidget(ui.btnReset);
    run->addLayout(buttons);
    ui.label_9 = new QLabel(QStringLiteral("Update Interval"), ui.groupBox_3);
    ui.label_9->setObjectName(QStringLiteral("label_9"));
    ui.label_9->setAlignment(Qt::AlignCenter);
    run->addWidget(ui.label_9);
    auto* interval = new QHBoxLayout;
    ui.spinInterval = new QSpinBox(ui.groupBox_3);
    ui.spinInterval->setObjectName(QStringLiteral("spinInterval"));
    ui.spinInterval->setRange(1, 1000);
    ui.spinInterval->setValue(100);
    ui.spinInterval->setSuffix(QStringLiteral(" ms"));
    ui.spinInterval->setMinimumWidth(100);
    ui.spinInterval->setAlignment(Qt::AlignCenter);
    interval->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    interval->addWidget(ui.spinInterval);
    interval->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    run->addLayout(interval);
    controls->addWidget(ui.groupBox_3);

    ui.groupBox_2 = new QGroupBox(this);
    ui.groupBox_2->setObjectName(QStringLiteral("groupBox_2"));
    auto* grid = new QGridLayout(ui.groupBox_2);
    grid->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, 0);
    grid->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, 5);
    for (int lane = 0; lane < graphCount; ++lane) {
        auto* label = new QLabel(QStringLiteral("Graph %1:").arg(lane + 1), ui.groupBox_2);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        ui.cmbGraph[lane] = new QComboBox(ui.groupBox_2);
        ui.cmbGraph[lane]->setObjectName(QStringLiteral("cmbGraph%1").arg(lane + 1));
        const int column = lane < 4 ? 1 : 3;
        grid->addWidget(label, lane % 4, column);
        grid->addWidget(ui.cmbGraph[lane], lane % 4, column + 1);
    }
    controls->addWidget(ui.groupBox_2);
    layout->addLayout(controls);

    ui.statusBar = new ZelLineStatusBar(this);
    ui.statusBar->setObjectName(QStringLiteral("statusBar"));
    ui.statusBar->setAutoFillBackground(false);
    layout->addWidget(ui.statusBar);

    QMetaObject::connectSlotsByName(this);
}

void ZelLineStatusWidget::setUpLines()
{
    lineSelector = featureManager->FindByName("LineSelector");
    lineStatusAll = featureManager->FindByName("LineStatusAll");
    if (!lineSelector || !lineStatusAll)
        return;
    QString name;
    qint64 value = 0;
    for (int i = 0; featureManager->EnumSubFeature(lineSelector, i, name, value); ++i) {
        lineNames << name;
        lineValues << value;
    }
    for (QComboBox* box : ui.cmbGraph) {
        box->addItem(QStringLiteral("Off"));
        box->addItems(lineNames);
    }
    ZelAppSettings* settings = ZelAppSettings::instance();
    for (int lane = 0; lane < graphCount; ++lane) {
        const QString saved = settings->value(settingsGroup, graphKey(lane), QString()).toString();
        const int position = lineNames.indexOf(saved);
        if (position >= 0)
            ui.cmbGraph[lane]->setCurrentIndex(position + 1);
    }
    for (int lane = 0; lane < graphCount; ++lane) {
        const QString text = ui.cmbGraph[lane]->currentText();
        if (isOff(text)) {
            ui.LineStatusPlot->setGraphVisible(lane, false);
            ui.LineStatusPlot->setGraphName(lane, QString());
        } else {
            ui.LineStatusPlot->setGraphName(lane, text);
        }
    }
    void (ZelLineStatusWidget::*const graphSlots[graphCount])(QString) = {
        &ZelLineStatusWidget::_onCmbGraph1Changed, &ZelLineStatusWidget::_onCmbGraph2Changed,
        &ZelLineStatusWidget::_onCmbGraph3Changed, &ZelLineStatusWidget::_onCmbGraph4Changed,
        &ZelLineStatusWidget::_onCmbGraph5Changed, &ZelLineStatusWidget::_onCmbGraph6Changed,
        &ZelLineStatusWidget::_onCmbGraph7Changed, &ZelLineStatusWidget::_onCmbGraph8Changed,
    };
    for (int lane = 0; lane < graphCount; ++lane) {
        QComboBox* box = ui.cmbGraph[lane];
        const auto slot = graphSlots[lane];
        connect(box, qOverload<int>(&QComboBox::currentIndexChanged), this,
                [this, box, slot](int) { (this->*slot)(box->currentText()); });
    }
}

void ZelLineStatusWidget::graphChanged(int lane, const QString& name)
{
    if (isOff(name)) {
        ui.LineStatusPlot->setGraphVisible(lane, false);
        ui.LineStatusPlot->setGraphName(lane, QString());
    } else {
        ui.LineStatusPlot->setGraphVisible(lane, true);
        ui.LineStatusPlot->setGraphName(lane, name);
    }
    ZelAppSettings::instance()->setValue(settingsGroup, graphKey(lane), name);
}

void ZelLineStatusWidget::_onCmbGraph1Changed(QString name) { graphChanged(0, name); }
void ZelLineStatusWidget::_onCmbGraph2Changed(QString name) { graphChanged(1, name); }
void ZelLineStatusWidget::_onCmbGraph3Changed(QString name) { graphChanged(2, name); }
void ZelLineStatusWidget::_onCmbGraph4Changed(QString name) { graphChanged(3, name); }
void ZelLineStatusWidget::_onCmbGraph5Changed(QString name) { graphChanged(4, name); }
void ZelLineStatusWidget::_onCmbGraph6Changed(QString name) { graphChanged(5, name); }
void ZelLineStatusWidget::_onCmbGraph7Changed(QString name) { graphChanged(6, name); }
void ZelLineStatusWidget::_onCmbGraph8Changed(QString name) { graphChanged(7, name); }

void ZelLineStatusWidget::_onTimeOut()
{
    QVariant value;
    if (!featureManager->GetValue(lineStatusAll, value, false, true))
        return;
    const quint64 bits = quint64(value.toLongLong());
    for (int lane = 0; lane < graphCount; ++lane) {
        const int n = ui.cmbGraph[lane]->currentIndex();
        if (n <= 0 || n - 1 >= lineValues.size())
            continue;
        const quint32 bit = quint32(lineValues.at(n - 1));
        ui.LineStatusPlot->addPoint(lane, bit < 64 && ((bits >> bit) & 1u) != 0);
    }
}

void ZelLineStatusWidget::_onLineHovered(QString lineId, QString state, QString timeStamp)
{
    ui.statusBar->setLineStatus(lineId, state, timeStamp);
}

void ZelLineStatusWidget::on_btnStart_clicked()
{
    ui.LineStatusPlot->setRangeDragEnabled(false);
    ui.btnStart->setEnabled(false);
    ui.btnPause->setEnabled(true);
    timer.start(ui.spinInterval->value());
}

void ZelLineStatusWidget::on_btnPause_clicked()
{
    ui.LineStatusPlot->setRangeDragEnabled(true);
    timer.stop();
    ui.btnPause->setEnabled(false);
    ui.btnStart->setEnabled(true);
}

void ZelLineStatusWidget::on_btnReset_clicked()
{
    timer.stop();
    ui.btnPause->setEnabled(false);
    ui.btnStart->setEnabled(true);
    ui.LineStatusPlot->reset();
}

void ZelLineStatusWidget::on_spinInterval_valueChanged(int arg1)
{
    timer.setInterval(arg1);
}
