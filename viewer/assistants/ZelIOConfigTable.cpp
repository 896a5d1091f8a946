#include "ZelIOConfigTable.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QWheelEvent>

namespace {

QHBoxLayout* centredLayout(QWidget* owner, QWidget* child)
{
    auto* layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    layout->addWidget(child);
    return layout;
}

} // namespace

void ZelComboBox::wheelEvent(QWheelEvent* event)
{
    if (hasFocus())
        QComboBox::wheelEvent(event);
    else
        event->ignore();
}

ZelCenteredCheckBoxWidget::ZelCenteredCheckBoxWidget(QWidget* parent)
    : QWidget(parent), m_checkBox(new QCheckBox(this))
{
    centredLayout(this, m_checkBox);
    connect(m_checkBox, &QCheckBox::toggled, this, &ZelCenteredCheckBoxWidget::toggled);
}

ZelCenteredCheckBoxWidget::~ZelCenteredCheckBoxWidget()
{
    m_checkBox->deleteLater();
}

ZelIOConfigStatusWidget::ZelIOConfigStatusWidget(QWidget* parent) : QWidget(parent), m_label(new QLabel(this))
{
    centredLayout(this, m_label);
    showLamp(false);
}

ZelIOConfigStatusWidget::~ZelIOConfigStatusWidget()
{
    m_label->deleteLater();
}

void ZelIOConfigStatusWidget::setStatus(bool on)
{
    if (on == m_status)
        return;
    showLamp(on);
    m_status = on;
}

void ZelIOConfigStatusWidget::showLamp(bool on)
{
    // One size from the start: a lamp that never changed is no bigger.
    const QPixmap lamp(on ? QStringLiteral(":/res/icon/green_light.png") : QStringLiteral(":/res/icon/red_light.png"));
    m_label->setPixmap(lamp.scaled(24, 24, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_label->setScaledContents(true);
}

ZelIOConfigItem::ZelIOConfigItem(const QString& lineName, bool inverter, const QStringList& sources,
                                 const QString& currentSource, const QString& modeName, bool status,
                                 qint64 lineIndex, qint64 lineValue)
    : lineIndex(lineIndex)
    , lineValue(lineValue)
    , modeName(modeName)
    , lineName(lineName)
    , sources(sources)
    , inverterBox(new ZelCenteredCheckBoxWidget)
    , sourceBox(new ZelComboBox)
    , statusWidget(new ZelIOConfigStatusWidget)
{
    inverterBox->checkBox()->setChecked(inverter);
    statusWidget->setStatus(status);
    if (sources.isEmpty()) {
        sourceBox->setEnabled(false);
    } else {
        sourceBox->addItems(sources);
        sourceBox->setCurrentText(currentSource);
        sourceIndex = sourceBox->currentIndex();
    }
    sourceBox->setFocusPolicy(Qt::StrongFocus);
    inverterBox->checkBox()->setFocusPolicy(Qt::StrongFocus);
    // Connected only now, so that filling the row writes nothing.
    connect(inverterBox, &ZelCenteredCheckBoxWidget::toggled, this, &ZelIOConfigItem::lineInvertCheckBoxToggled);
    connect(sourceBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &ZelIOConfigItem::lineSourceComboBoxCurrentIndexChanged);
}

ZelIOConfigItem::~ZelIOConfigItem()
{
    inverterBox->deleteLater();
    sourceBox->deleteLater();
    statusWidget->deleteLater();
}

void ZelIOConfigItem::setStatus(bool on)
{
    statusWidget->setStatus(on);
}

ZelIOConfigTableWidget::ZelIOConfigTableWidget(QWidget* parent) : QTableWidget(parent)
{
    setColumnCount(5);
    setHorizontalHeaderLabels({QStringLiteral("Mode"), QStringLiteral("Line"), QStringLiteral("Inv"),
                               QStringLiteral("Source"), QStringLiteral("Status")});
    QHeaderView* header = horizontalHeader();
    header->setStyleSheet(QStringLiteral("::section {background-color: #dddddd;padding: 10px;color: black;"
                                         "text-align: center;font-family: arial;font-size: bold 14px; }"));
    header->setHighlightSections(false);
    header->setSectionResizeMode(ModeColumn, QHeaderView::Fixed);
    header->setSectionResizeMode(LineColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(InvColumn, QHeaderView::Fixed);
    header->setSectionResizeMode(SourceColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(StatusColumn, QHeaderView::Fixed);
    setColumnWidth(ModeColumn, 60);
    setColumnWidth(InvColumn, 40);
    setColumnWidth(StatusColumn, 60);
    verticalHeader()->hide();
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(true);
    setSortingEnabled(true);
}
