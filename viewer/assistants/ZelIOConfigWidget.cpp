#include "ZelIOConfigWidget.h"

#include "ZelFeatureManager.h"
#include "ZelIOConfigTable.h"

#include <QCheckBox>
#include <QEvent>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

// The entry name at an enumeration's current index; empty outside the list.
QString currentEntry(const ZelFeatureData& data)
{
    const int index = data.info.enumIndex;
    return index >= 0 && index < data.entries.size() ? data.entries.at(index) : QString();
}

bool isLineFeature(const QString& name)
{
    for (const char* feature : {"LineInverter", "LineSource", "LineSelector"}) {
        if (name.compare(QLatin1String(feature), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

ZelIOConfigWidget::ZelIOConfigWidget(ZelFeatureManager* remoteDevice, QString cameraName, QWidget* parent)
    : QWidget(parent, Qt::Window), featureManager(remoteDevice)
{
    setObjectName(QStringLiteral("ZelIOConfigWidget"));
    resize(640, 520);
    ui.verticalLayout = new QVBoxLayout(this);
    ui.tableWidget = new ZelIOConfigTableWidget(this);
    ui.tableWidget->setObjectName(QStringLiteral("tableWidget"));
    ui.verticalLayout->addWidget(ui.tableWidget);
    setWindowTitle(QStringLiteral("IO Config(") + cameraName + QStringLiteral(")"));
    setAttribute(Qt::WA_DeleteOnClose);

    fillTable();

    timer.setInterval(100);
    connect(&timer, &QTimer::timeout, this, &ZelIOConfigWidget::_onTimeOut);
    connect(featureManager, &ZelFeatureManager::featureInvalidated, this, &ZelIOConfigWidget::_onFeatureInvalidated);
    if (!items.isEmpty())
        lineCallbacks.reset(new ZelInvalidationHold(featureManager, {"LineSelector", "LineInverter", "LineSource"}));
    timer.start(100);
}

ZelIOConfigWidget::~ZelIOConfigWidget()
{
    timer.stop();
    lineCallbacks.reset();
    qDeleteAll(items);
    items.clear();
}

void ZelIOConfigWidget::fillTable()
{
    lineSelector = featureManager->FindByName("LineSelector");
    lineStatusAll = featureManager->FindByName("LineStatusAll");
    if (!lineSelector || !lineStatusAll)
        return;
    // Rows stay whole only when no row moves while its cells are set.
    ui.tableWidget->setSortingEnabled(false);
    qint64 i = 0;
    bool selected = featureManager->SetValue(lineSelector, QVariant(i), false);
    while (selected) {
        ZelFeatureData selector, mode, inverter, status, source;
        featureManager->GetData(lineSelector, selector);
        featureManager->GetData("LineMode", mode);
        featureManager->GetData("LineInverter", inverter);
        featureManager->GetData("LineStatus", status);
        featureManager->GetData("LineSource", source);
        // The lamp follows the entry's value, the line's bit in LineStatusAll.
        QString entryName;
        qint64 value = -1;
        if (!featureManager->EnumSubFeature(lineSelector, int(i), entryName, value))
            value = -1;
        auto* item = new ZelIOConfigItem(currentEntry(selector), inverter.value.toBool(), source.entries,
                                         currentEntry(source), currentEntry(mode), status.value.toBool(), i, value);
        appendRow(item);
        ++i;
        selected = featureManager->SetValue(lineSelector, QVariant(i), false);
    }
    // Sorting waits for the operator's click on a header: no column is
    // sorted yet, so the rows keep the camera's line order.
    ui.tableWidget->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    ui.tableWidget->setSortingEnabled(true);
}

void ZelIOConfigWidget::appendRow(ZelIOConfigItem* item)
{
    QTableWidget* table = ui.tableWidget;
    const int row = table->rowCount();
    table->insertRow(row);
    auto* mode = new QTableWidgetItem(item->modeName);
    mode->setFlags(Qt::ItemIsSelectable);
    mode->setTextAlignment(Qt::AlignCenter);
    table->setItem(row, ZelIOConfigTableWidget::ModeColumn, mode);
    auto* line = new QTableWidgetItem(item->lineName);
    line->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    table->setItem(row, ZelIOConfigTableWidget::LineColumn, line);
    table->setCellWidget(row, ZelIOConfigTableWidget::InvColumn, item->inverterBox);
    table->setCellWidget(row, ZelIOConfigTableWidget::SourceColumn, item->sourceBox);
    table->setCellWidget(row, ZelIOConfigTableWidget::StatusColumn, item->statusWidget);
    connect(item, &ZelIOConfigItem::lineInvertCheckBoxToggled, this, &ZelIOConfigWidget::onLineInvertCheckBoxToggled);
    connect(item, &ZelIOConfigItem::lineSourceComboBoxCurrentIndexChanged, this,
            &ZelIOConfigWidget::onLineSourceComboBoxCurrentIndexChanged);
    items.append(item);
}

bool ZelIOConfigWidget::writeLineSetting(ZelIOConfigItem* item, const char* feature, const QVariant& value,
                                         bool selectorFlag, bool valueFlag, bool* written)
{
    featureManager->EnableInvalidation(false);
    const bool selected = featureManager->SetValue(lineSelector, QVariant(item->lineIndex), selectorFlag);
    if (selected) {
        *written = featureManager->SetValue(feature, value, valueFlag);
        emit requestInvalidate();
    }
    featureManager->EnableInvalidation(true);
    return selected;
}

void ZelIOConfigWidget::restoreInverter(ZelIOConfigItem* item, bool reread, bool previous)
{
    bool value = previous;
    QVariant read;
    if (reread && featureManager->GetValue("LineInverter", read) && read.isValid())
        value = read.toBool();
    const QSignalBlocker blocker(item->inverterBox);
    item->inverterBox->checkBox()->setChecked(value);
}

void ZelIOConfigWidget::restoreSource(ZelIOConfigItem* item, bool reread, int previous)
{
    int index = previous;
    ZelFeatureData source;
    if (reread && featureManager->GetData("LineSource", source))
        index = source.info.enumIndex;
    const QSignalBlocker blocker(item->sourceBox);
    item->sourceBox->setCurrentIndex(index < item->sourceBox->count() ? index : previous);
}

void ZelIOConfigWidget::onLineInvertCheckBoxToggled(bool bChecked)
{
    auto* item = qobject_cast<ZelIOConfigItem*>(sender());
    if (!item)
        return;
    bool written = false;
    const bool selected = writeLineSetting(item, "LineInverter", QVariant(bChecked), true, true, &written);
    // A refused write leaves the box at the camera's value, not the operator's.
    if (!selected)
        restoreInverter(item, false, !bChecked);
    else if (!written)
        restoreInverter(item, true, !bChecked);
}

void ZelIOConfigWidget::onLineSourceComboBoxCurrentIndexChanged(int index)
{
    auto* item = qobject_cast<ZelIOConfigItem*>(sender());
    if (!item)
        return;
    const int previous = item->sourceIndex;
    bool written = false;
    const bool selected = writeLineSetting(item, "LineSource", QVariant(qint64(index)), false, false, &written);
    if (!selected)
        restoreSource(item, false, previous);
    else if (!written)
        restoreSource(item, true, previous);
    item->sourceIndex = item->sourceBox->currentIndex();
}

void ZelIOConfigWidget::_onTimeOut()
{
    QVariant value;
    if (!featureManager->GetValue(lineStatusAll, value, false, true) || items.isEmpty())
        return;
    const quint64 bits = quint64(value.toLongLong());
    for (ZelIOConfigItem* item : qAsConst(items)) {
        const qint64 bit = item->lineValue;
        item->setStatus(bit >= 0 && bit < 64 && ((bits >> bit) & 1u) != 0);
    }
}

void ZelIOConfigWidget::_onFeatureInvalidated(QString name)
{
    if (!isLineFeature(name))
        return;
    for (ZelIOConfigItem* item : qAsConst(items)) {
        ZelFeatureData selector;
        featureManager->GetData(lineSelector, selector);
        if (currentEntry(selector).compare(item->lineName, Qt::CaseInsensitive) == 0)
            showSelectedLine(item, false);
    }
}

void ZelIOConfigWidget::showSelectedLine(ZelIOConfigItem* item, bool quietly)
{
    ZelFeatureData mode, inverter, status, source;
    featureManager->GetData("LineMode", mode);
    featureManager->GetData("LineInverter", inverter);
    featureManager->GetData("LineStatus", status);
    featureManager->GetData("LineSource", source);
    if (!quietly) {
        // A changed box writes the same value back, as an edit would.
        item->inverterBox->checkBox()->setChecked(inverter.value.toBool());
        item->sourceBox->setCurrentText(currentEntry(source));
        item->statusWidget->setStatus(status.value.toBool());
        return;
    }
    {
        const QSignalBlocker blockInverter(item->inverterBox);
        const QSignalBlocker blockSource(item->sourceBox);
        item->inverterBox->checkBox()->setChecked(inverter.value.toBool());
        const int index = source.info.enumIndex;
        if (index >= 0 && index < item->sourceBox->count())
            item->sourceBox->setCurrentIndex(index);
        item->sourceIndex = item->sourceBox->currentIndex();
    }
    item->statusWidget->setStatus(status.value.toBool());
    const QString modeName = currentEntry(mode);
    if (modeName.isEmpty() || modeName == item->modeName)
        return;
    item->modeName = modeName;
    for (int row = 0; row < ui.tableWidget->rowCount(); ++row) {
        if (ui.tableWidget->cellWidget(row, ZelIOConfigTableWidget::InvColumn) == item->inverterBox) {
            if (QTableWidgetItem* cell = ui.tableWidget->item(row, ZelIOConfigTableWidget::ModeColumn))
                cell->setText(modeName);
        }
    }
}

void ZelIOConfigWidget::rereadLines()
{
    if (items.isEmpty())
        return;
    ZelFeatureData selector;
    if (!featureManager->GetData(lineSelector, selector))
        return;
    const qint64 selected = selector.info.enumIndex;
    // The window's own selector writes are no news to anyone.
    featureManager->EnableInvalidation(false);
    for (ZelIOConfigItem* item : qAsConst(items)) {
        if (featureManager->SetValue(lineSelector, QVariant(item->lineIndex), false))
            showSelectedLine(item, true);
    }
    if (selected >= 0)
        featureManager->SetValue(lineSelector, QVariant(selected), false);
    featureManager->EnableInvalidation(true);
}

void ZelIOConfigWidget::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        rereadLines();
}
