#include "ZelStrobeControllerWidget.h"

#include "ZelDialogs.h"
#include "ZelDoubleSliderBox.h"
#include "ZelFeatureManager.h"
#include "ZelLineStatusPlot.h"
#include "ZelStrobeControlPlot.h"
#include "ZelTrace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const char* const settingFeature[] = {"StrobeDuration", "StrobeDelay", "StrobePolarity"};

// The largest value of a number feature.
double maximumOf(const ZelFeatureData& data)
{
    return data.info.interfaceType == ORV_FEATURE_TYPE_INTEGER ? double(data.info.intMax) : data.info.floatMax;
}

QString colorSheet(const QColor& color)
{
    return QStringLiteral("background-color:rgb(%1, %2, %3);").arg(color.red()).arg(color.green()).arg(color.blue());
}

QLabel* headerLabel(const char* name, const char* text, QWidget* parent)
{
    auto* label = new QLabel(QStringLiteral("<b>%1</b>").arg(QLatin1String(text)), parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::RichText);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumHeight(20);
    label->setFrameShape(QFrame::NoFrame);
    return label;
}

} // namespace

ZelStrobeControllerWidget::ZelStrobeControllerWidget(ZelFeatureManager* remoteDevice, QString cameraName,
                                                     QWidget* parent)
    : QWidget(parent, Qt::Window), featureManager(remoteDevice)
{
    buildForm();
    setWindowTitle(QStringLiteral("Strobe Controller (") + cameraName + QStringLiteral(")"));
    setAttribute(Qt::WA_DeleteOnClose);

    for (int r = 0; r < rowCount; ++r) {
        connect(ui.sbDelay[r], &ZelDoubleSliderBox::valueChanged, this, &ZelStrobeControllerWidget::_onDelayValueChange);
        connect(ui.sbDuration[r], &ZelDoubleSliderBox::valueChanged, this,
                &ZelStrobeControllerWidget::_onDurationValueChange);
        connect(ui.cmbInv[r], &QCheckBox::toggled, this, &ZelStrobeControllerWidget::_onInvCheckBoxChange);
        connect(ui.cmbLineStyle[r], qOverload<int>(&QComboBox::currentIndexChanged), this,
                &ZelStrobeControllerWidget::_onLineStyleCheckBoxChange);
        connect(ui.btnColor[r], &QToolButton::clicked, this, &ZelStrobeControllerWidget::_onColorButtonClicked);
    }
    connect(ui.StrobeControlPlot, &ZelStrobeControlPlot::lineHovered, this,
            &ZelStrobeControllerWidget::_onLineHovered);
    connect(featureManager, &ZelFeatureManager::featureInvalidated, this,
            &ZelStrobeControllerWidget::_onFeatureInvalidated);

    readCamera();
    // Without strobes there is nothing to hear of.
    if (strobeSelector)
        settingCallbacks.reset(
            new ZelInvalidationHold(featureManager, {"StrobeDuration", "StrobeDelay", "StrobePolarity"}));
    setUpLineStyles();
    setUpColors();
}

ZelStrobeControllerWidget::~ZelStrobeControllerWidget() = default;

void ZelStrobeControllerWidget::buildForm()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ZelStrobeControllerWidget"));
    resize(640, 520);
    setMinimumSize(640, 520);
    auto* windowLayout = new QVBoxLayout(this);
    windowLayout->setContentsMargins(1, 1, 1, 0);
    windowLayout->setSpacing(0);
    ui.groupBox = new QGroupBox(this);
    ui.groupBox->setObjectName(QStringLiteral("groupBox"));
    auto* layout = new QVBoxLayout(ui.groupBox);
    layout->setContentsMargins(2, 2, 2, 2);
    windowLayout->addWidget(ui.groupBox);

    ui.StrobeControlPlot = new ZelStrobeControlPlot(ui.groupBox);
    ui.StrobeControlPlot->setObjectName(QStringLiteral("StrobeControlPlot"));
    ui.StrobeControlPlot->setStyleSheet(QStringLiteral("background-color: rgb(0, 0, 0);"));
    layout->addWidget(ui.StrobeControlPlot, 1);

    ui.grpStrobeControl = new QGroupBox(QStringLiteral("Strobe Control"), ui.groupBox);
    ui.grpStrobeControl->setObjectName(QStringLiteral("grpStrobeControl"));
    auto* grid = new QGridLayout(ui.grpStrobeControl);
    grid->setVerticalSpacing(4);
    grid->setContentsMargins(6, 6, 6, 6);
    const struct {
        const char* name;
        const char* text;
    } headers[] = {{"lblChannel", "Channel"},
                   {"lblInv", "Inv"},
                   {"lblDuration", "Duration (us)"},
                   {"lblDelay", "Delay (us)"},
                   {"lblLineStyle", "Line Style"}};
    for (int c = 0; c < 5; ++c)
        grid->addWidget(headerLabel(headers[c].name, headers[c].text, ui.grpStrobeControl), 1, 2 + c);
    for (int r = 0; r < rowCount; ++r) {
        const int gridRow = 2 + r;
        ui.lblStrobe[r] = new QLabel(QStringLiteral("Strobe%1").arg(r), ui.grpStrobeControl);
        ui.lblStrobe[r]->setObjectName(QStringLiteral("lblStrobe%1").arg(r));
        ui.cmbInv[r] = new QCheckBox(ui.grpStrobeControl);
        ui.cmbInv[r]->setObjectName(QStringLiteral("cmbInv%1").arg(r));
        ui.cmbInv[r]->setTristate(false);
        ui.cmbInv[r]->setIconSize(QSize(16, 16));
        ui.cmbInv[r]->setMaximumHeight(22);
        ZelDoubleSliderBox** boxes[] = {&ui.sbDuration[r], &ui.sbDelay[r]};
        const char* prefixes[] = {"sbDuration%1", "sbDelay%1"};
        for (int b = 0; b < 2; ++b) {
            auto* box = new ZelDoubleSliderBox(ui.grpStrobeControl, true);
            box->setObjectName(QString::fromLatin1(prefixes[b]).arg(r));
            box->setMaximumHeight(22);
            box->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
            box->setFocusPolicy(Qt::StrongFocus);
            *boxes[b] = box;
        }
        ui.cmbLineStyle[r] = new QComboBox(ui.grpStrobeControl);
        ui.cmbLineStyle[r]->setObjectName(QStringLiteral("cmbLineStyle%1").arg(r));
        ui.cmbLineStyle[r]->setMaximumSize(80, 22);
        ui.btnColor[r] = new QToolButton(ui.grpStrobeControl);
        ui.btnColor[r]->setObjectName(QStringLiteral("btnColor%1").arg(r));
        ui.btnColor[r]->setAutoRaise(true);
        ui.btnColor[r]->setMaximumHeight(22);
        grid->addWidget(ui.lblStrobe[r], gridRow, 2);
        grid->addWidget(ui.cmbInv[r], gridRow, 3);
        grid->addWidget(ui.sbDuration[r], gridRow, 4);
        grid->addWidget(ui.sbDelay[r], gridRow, 5);
        grid->addWidget(ui.cmbLineStyle[r], gridRow, 6);
        grid->addWidget(ui.btnColor[r], gridRow, 7);
    }
    setTabOrder(ui.cmbInv[3], ui.sbDuration[3]);
    setTabOrder(ui.sbDuration[3], ui.sbDelay[3]);
    setTabOrder(ui.sbDelay[3], ui.cmbLineStyle[3]);
    setTabOrder(ui.cmbLineStyle[3], ui.btnColor[3]);
    layout->addWidget(ui.grpStrobeControl);

    ui.statusBar = new ZelLineStatusBar(ui.groupBox);
    ui.statusBar->setObjectName(QStringLiteral("statusBar"));
    layout->addWidget(ui.statusBar);
}

void ZelStrobeControllerWidget::readCamera()
{
    strobeSelector = featureManager->FindByName("StrobeSelector");
    strobeDuration = featureManager->FindByName("StrobeDuration");
    strobeDelay = featureManager->FindByName("StrobeDelay");
    strobePolarity = featureManager->FindByName("StrobePolarity");
    exposureTime = featureManager->FindByName("ExposureTime");

    ZelFeatureData exposure;
    QString exposureName;
    double exposureValue = 0;
    double exposureMax = 0;
    if (exposureTime && featureManager->GetData(exposureTime, exposure)) {
        exposureName = QString::fromLatin1(exposure.info.name, int(qstrnlen(exposure.info.name, sizeof exposure.info.name)));
        exposureValue = exposure.value.toDouble();
        exposureMax = maximumOf(exposure);
    }
    ZelStrobeControlPlot* plot = ui.StrobeControlPlot;
    plot->addChannel(exposureName);
    plot->setDurationMax(exposureName, exposureMax);
    plot->setDuration(exposureName, exposureValue);
    plot->setDelayMax(exposureName, 0);
    plot->setDelay(exposureName, 0);
    plot->setPolarity(exposureName, true);
    plot->setChannelColor(exposureName, Qt::white);
    plot->setChannelLineStyle(exposureName, Qt::SolidLine);
    plot->setTimeRange(0, exposureValue);

    if (!strobeSelector)
        return;
    QString entry;
    qint64 entryValue = 0;
    for (int k = 0; featureManager->EnumSubFeature(strobeSelector, k, entry, entryValue); ++k) {
        if (!featureManager->SetValue(strobeSelector, QVariant(qint64(k)), false))
            continue;
        ZelFeatureData duration, delay;
        QVariant polarity;
        featureManager->GetData(strobeDuration, duration);
        featureManager->GetData(strobeDelay, delay);
        // Entry value 0 is positive, whatever the entry is called.
        const bool positive = featureManager->GetValue(strobePolarity, polarity) && polarity.isValid() &&
                              polarity.toLongLong() == 0;
        if (k < rowCount)
            fillRow(k, entry, duration.value.toDouble(), maximumOf(duration), delay.value.toDouble(),
                    maximumOf(delay), positive);
    }
}

void ZelStrobeControllerWidget::fillRow(int row, const QString& name, double duration, double durationMax,
                                        double delay, double delayMax, bool positive)
{
    ui.lblStrobe[row]->setText(name);
    {
        // Opening shows the camera's values and writes nothing back.
        const QSignalBlocker durationBlocker(ui.sbDuration[row]);
        const QSignalBlocker delayBlocker(ui.sbDelay[row]);
        const QSignalBlocker invBlocker(ui.cmbInv[row]);
        ui.sbDuration[row]->setRange(0, durationMax);
        ui.sbDuration[row]->setValue(duration);
        ui.sbDelay[row]->setRange(0, delayMax);
        ui.sbDelay[row]->setValue(delay);
        ui.cmbInv[row]->setChecked(!positive);
    }
    shown[row][int(Setting::Duration)] = duration;
    shown[row][int(Setting::Delay)] = delay;
    shown[row][int(Setting::Polarity)] = positive ? 0 : 1;
    ZelStrobeControlPlot* plot = ui.StrobeControlPlot;
    plot->addChannel(name);
    plot->setDurationMax(name, durationMax);
    plot->setDuration(name, duration);
    plot->setDelayMax(name, delayMax);
    plot->setDelay(name, delay);
    plot->setPolarity(name, positive);
}

void ZelStrobeControllerWidget::setUpLineStyles()
{
    static const int defaultItem[rowCount] = {0, 4, 1, 3};
    for (int r = 0; r < rowCount; ++r) {
        QComboBox* box = ui.cmbLineStyle[r];
        const QSignalBlocker blocker(box);
        box->setEditable(false);
        box->setIconSize(QSize(50, 22));
        box->setMinimumWidth(60);
        for (int style = Qt::SolidLine; style <= Qt::DashDotDotLine; ++style) {
            QPixmap sample(50, 18);
            sample.fill(Qt::white);
            QPainter painter(&sample);
            painter.setPen(QPen(QBrush(Qt::black), 2.5, Qt::PenStyle(style)));
            painter.drawLine(2, 10, 46, 10);
            painter.end();
            box->addItem(QIcon(sample), QString());
        }
        box->setCurrentIndex(defaultItem[r]);
        ui.StrobeControlPlot->setChannelLineStyle(laneName(r), defaultItem[r] + 1);
    }
}

void ZelStrobeControllerWidget::setUpColors()
{
    static const Qt::GlobalColor defaults[rowCount] = {Qt::red, Qt::blue, Qt::yellow, Qt::green};
    for (int r = 0; r < rowCount; ++r)
        setRowColor(r, defaults[r]);
}

void ZelStrobeControllerWidget::setRowColor(int row, const QColor& color)
{
    ui.btnColor[row]->setStyleSheet(colorSheet(color));
    ui.StrobeControlPlot->setChannelColor(laneName(row), color);
}

QString ZelStrobeControllerWidget::laneName(int row) const
{
    return ui.lblStrobe[row]->text();
}

template <typename Control>
int ZelStrobeControllerWidget::rowOf(Control* const (&controls)[rowCount], QObject* sender) const
{
    for (int r = 0; r < rowCount; ++r) {
        if (controls[r] == sender)
            return r;
    }
    return -1;
}

void ZelStrobeControllerWidget::showSetting(int row, Setting setting, double value)
{
    ZelStrobeControlPlot* plot = ui.StrobeControlPlot;
    switch (setting) {
    case Setting::Duration: {
        const QSignalBlocker blocker(ui.sbDuration[row]);
        ui.sbDuration[row]->setValue(value);
        plot->setDuration(laneName(row), value);
        break;
    }
    case Setting::Delay: {
        const QSignalBlocker blocker(ui.sbDelay[row]);
        ui.sbDelay[row]->setValue(value);
        plot->setDelay(laneName(row), value);
        break;
    }
    case Setting::Polarity: {
        const QSignalBlocker blocker(ui.cmbInv[row]);
        ui.cmbInv[row]->setChecked(value != 0);
        plot->setPolarity(laneName(row), value == 0);
        break;
    }
    case Setting::Count:
        return;
    }
    shown[row][int(setting)] = value;
}

void ZelStrobeControllerWidget::writeSetting(int row, Setting setting, double value)
{
    const double previous = shown[row][int(setting)];
    const char* feature = settingFeature[int(setting)];
    if (!featureManager->SetValue(strobeSelector, QVariant(qint64(row)), false)) {
        // Nothing may land on another output; a re-read would read one.
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! StrobeSelector:%d %s not written",
                 "ZelStrobeControllerWidget::writeSetting", row, feature);
        showSetting(row, setting, previous);
        return;
    }
    const QVariant written = setting == Setting::Polarity ? QVariant(qint64(value)) : QVariant(value);
    if (featureManager->SetValue(feature, written, false)) {
        shown[row][int(setting)] = value;
        return;
    }
    // Refused: the row shows what the camera holds.
    QVariant current;
    const bool read = featureManager->GetValue(feature, current) && current.isValid();
    showSetting(row, setting, read ? current.toDouble() : previous);
}

void ZelStrobeControllerWidget::_onDurationValueChange(double value)
{
    const int row = rowOf(ui.sbDuration, sender());
    if (row < 0)
        return;
    ui.StrobeControlPlot->setDuration(laneName(row), value);
    writeSetting(row, Setting::Duration, value);
}

void ZelStrobeControllerWidget::_onDelayValueChange(double value)
{
    const int row = rowOf(ui.sbDelay, sender());
    if (row < 0)
        return;
    ui.StrobeControlPlot->setDelay(laneName(row), value);
    writeSetting(row, Setting::Delay, value);
}

void ZelStrobeControllerWidget::_onInvCheckBoxChange(bool bChecked)
{
    const int row = rowOf(ui.cmbInv, sender());
    if (row < 0)
        return;
    ui.StrobeControlPlot->setPolarity(laneName(row), !bChecked);
    writeSetting(row, Setting::Polarity, bChecked ? 1 : 0);
}

void ZelStrobeControllerWidget::_onLineStyleCheckBoxChange(int index)
{
    const int row = rowOf(ui.cmbLineStyle, sender());
    if (row >= 0)
        ui.StrobeControlPlot->setChannelLineStyle(laneName(row), index + 1);
}

void ZelStrobeControllerWidget::_onColorButtonClicked(bool bChecked)
{
    Q_UNUSED(bChecked)
    const int row = rowOf(ui.btnColor, sender());
    if (row < 0)
        return;
    const QColor color = ZelDialogs::getColor();
    if (color.isValid())
        setRowColor(row, color);
}

void ZelStrobeControllerWidget::_onFeatureInvalidated(QString featureName)
{
    int setting = -1;
    for (int s = 0; s < 3; ++s) {
        if (featureName.compare(QLatin1String(settingFeature[s]), Qt::CaseInsensitive) == 0)
            setting = s;
    }
    if (setting < 0)
        return;
    QVariant selected;
    if (!featureManager->GetValue(strobeSelector, selected, false, false) || !selected.isValid())
        return;
    const qint64 row = selected.toLongLong();
    if (row < 0 || row >= rowCount)
        return;
    QVariant value;
    if (!featureManager->GetValue(settingFeature[setting], value, false, false) || !value.isValid())
        return;
    showSetting(int(row), Setting(setting), value.toDouble());
}

void ZelStrobeControllerWidget::_onLineHovered(QString lineId, QString state, QString timeStamp)
{
    ui.statusBar->setLineStatus(lineId, state, timeStamp);
}
