#include "ZelSequencerModel.h"

#include "ZelSequencerItem.h"
#include "ZelSpinBox.h"

#include <limits>

namespace ZelSequencerUnits {

namespace {

// a / b rounded to nearest, halves away from zero; b > 0.
qint64 divideRounded(qint64 a, qint64 b)
{
    return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

qint64 divideUp(qint64 a, qint64 b) { return a >= 0 ? (a + b - 1) / b : -(-a / b); }

// Keeps microsecond products inside 64 bits.
constexpr qint64 maxMicroseconds = std::numeric_limits<qint64>::max() / ticksPerSecond;

} // namespace

Kind kindOf(const QString& featureName)
{
    static const QStringList times = {"SeqInterval", "SeqPulseAStart", "SeqPulseAStop", "SeqPulseBStart",
                                      "SeqPulseBStop"};
    static const QStringList duties = {"PWMChange0", "PWMChange1", "PWMChange2", "PWMChange3"};
    if (times.contains(featureName, Qt::CaseInsensitive))
        return Kind::Time;
    if (featureName.compare(QLatin1String("PWMMax"), Qt::CaseInsensitive) == 0)
        return Kind::PwmPeriod;
    if (duties.contains(featureName, Qt::CaseInsensitive))
        return Kind::DutyCycle;
    return Kind::None;
}

qint64 ticksToMicroseconds(qint64 ticks)
{
    // ticks × 1,000,000 overflows past 9.2e12 ticks; split it.
    const qint64 whole = ticks / ticksPerSecond;
    const qint64 rest = ticks % ticksPerSecond;
    return whole * 1000000 + divideRounded(rest * 1000000, ticksPerSecond);
}

qint64 microsecondsToTicks(qint64 microseconds)
{
    const qint64 us = qBound(-maxMicroseconds, microseconds, maxMicroseconds);
    return divideRounded(us * ticksPerSecond, 1000000);
}

qint64 ticksToHertz(qint64 ticks) { return ticks <= 0 ? 0 : divideRounded(ticksPerSecond, ticks); }
qint64 hertzToTicks(qint64 hertz) { return hertz <= 0 ? 0 : divideRounded(ticksPerSecond, hertz); }

qint64 toDisplay(Kind kind, qint64 stored)
{
    switch (kind) {
    case Kind::Time:
        return ticksToMicroseconds(stored);
    case Kind::PwmPeriod:
        return ticksToHertz(stored);
    default:
        return stored;
    }
}

qint64 toStored(Kind kind, qint64 shown)
{
    switch (kind) {
    case Kind::Time:
        return microsecondsToTicks(shown);
    case Kind::PwmPeriod:
        return hertzToTicks(shown);
    default:
        return shown;
    }
}

QPair<qint64, qint64> displayBounds(Kind kind, qint64 minimumTicks, qint64 maximumTicks)
{
    switch (kind) {
    case Kind::Time:
    {
        // The nearest shown values whose ticks stay within the bounds.
        qint64 low = ticksToMicroseconds(minimumTicks);
        if (microsecondsToTicks(low) < minimumTicks)
            ++low;
        qint64 high = ticksToMicroseconds(maximumTicks);
        if (microsecondsToTicks(high) > maximumTicks)
            --high;
        return {low, high};
    }
    case Kind::PwmPeriod: {
        const qint64 low = minimumTicks <= 0 ? 0 : divideUp(ticksPerSecond, qMax<qint64>(maximumTicks, 1));
        return {low, ticksPerSecond / qMax<qint64>(minimumTicks, 1)};
    }
    case Kind::DutyCycle:
        return {0, 100};
    default:
        return {minimumTicks, maximumTicks};
    }
}

} // namespace ZelSequencerUnits

using namespace ZelSequencerUnits;

ZelSequencerModel::ZelSequencerModel(const QList<Column>& columns, const QList<ZelSequencerItem*>& sets, int maxRows,
                                     QObject* parent)
    : QAbstractTableModel(parent)
    , m_sets(sets)
    , m_columns(columns)
    , m_maxRows(maxRows)
{
}

ZelSequencerModel::~ZelSequencerModel() { qDeleteAll(m_sets); }

int ZelSequencerModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_sets.size(); }

int ZelSequencerModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns.size();
}

ZelSequencerItem* ZelSequencerModel::setAt(int row) const
{
    return row >= 0 && row < m_sets.size() ? m_sets.at(row) : nullptr;
}

QString ZelSequencerModel::featureAt(int column) const
{
    return headerData(column, Qt::Horizontal, SeqFeatureNameRole).toString();
}

QVariant ZelSequencerModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    ZelSequencerItem* set = setAt(index.row());
    if (!set)
        return QVariant();
    const QString name = featureAt(index.column());
    const Kind kind = kindOf(name);
    const ZelSequencerEntry* entry = set->find(name);
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == 0)
            return index.row();
        if (!entry || kind == Kind::None)
            return QVariant();
        return toDisplay(kind, entry->value);
    case SeqMinimumRole:
    case SeqMaximumRole: {
        if (!entry)
            return QVariant();
        qint64 itemMaximum = 0;
        set->maximum(name, itemMaximum);
        const Bounds raw = m_cameraBounds.value(name, Bounds(entry->minimum, itemMaximum));
        const QPair<qint64, qint64> shown = displayBounds(kind, raw.first, raw.second);
        return role == SeqMinimumRole ? shown.first : shown.second;
    }
    case SeqItemRole:
        return QVariant::fromValue(set);
    case SeqRegisterValueRole:
        if (!entry)
            return QVariant();
        if (kind == Kind::DutyCycle) {
            qint64 period = 0;
            if (!set->value(QStringLiteral("PWMMax"), period) || period == 0)
                return qint64(0);
            return qint64(double(entry->value) / 100.0 * double(period));
        }
        return entry->value;
    default:
        return QVariant();
    }
}

bool ZelSequencerModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole && role != SeqMinimumRole && role != SeqMaximumRole)
        return QAbstractTableModel::setData(index, value, role);
    ZelSequencerItem* set = index.isValid() ? setAt(index.row()) : nullptr;
    if (!set)
        return false;
    const QString name = featureAt(index.column());
    if (role == SeqMinimumRole)
        return set->setMinimum(name, value.toLongLong());
    if (role == SeqMaximumRole)
        return set->setMaximum(name, value.toLongLong());
    const Kind kind = kindOf(name);
    ZelSequencerEntry* entry = set->find(name);
    if (kind == Kind::None || !entry)
        return false;
    const qint64 shown = value.toLongLong();
    // An edit that leaves the shown value as it was keeps the exact ticks.
    if (toDisplay(kind, entry->value) != shown) {
        entry->value = toStored(kind, shown);
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    }
    return true;
}

QVariant ZelSequencerModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == SeqMaxRowsRole)
        return m_maxRows;
    if (section < 0 || section >= m_columns.size())
        return QVariant();
    const Column& column = m_columns.at(section);
    switch (role) {
    case Qt::DisplayRole:
        return column.second.isEmpty() ? column.first
                                       : column.first + QStringLiteral("\n (") + column.second + QLatin1Char(')');
    case Qt::ToolTipRole: {
        static const QList<QPair<QString, QString>> tips = {
            {"SeqInterval", "Sets the duration of the sequencer segments"},
            {"SeqSelector", "Index to the sequencer array"},
            {"SeqPulseAStart", "Begin of the integration time in the sequencer segment."},
            {"SeqPulseAStop", "End of the integration time in the sequencer segment."},
            {"SeqPulseBStart", "Begin of the PWM mask in the sequencer segment."},
            {"SeqPulseBStop", "End of the PWM mask in the sequencer segment."},
            {"PWMMax", "This feature sets the common PWM frequency."},
        };
        for (const auto& tip : tips) {
            if (column.first.compare(tip.first, Qt::CaseInsensitive) == 0)
                return tip.second;
        }
        if (kindOf(column.first) == Kind::DutyCycle)
            return QStringLiteral("This feature sets the Duty Cycle for PWM register.");
        return QVariant();
    }
    case SeqFeatureNameRole:
        return column.first;
    default:
        return QVariant();
    }
}

bool ZelSequencerModel::insertRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || count < 1 || row < 0 || row > m_sets.size())
        return false;
    beginInsertRows(QModelIndex(), row, row + count - 1);
    for (int i = 0; i < count; ++i) {
        QList<ZelSequencerEntry*> entries;
        for (int column = 1; column < m_columns.size(); ++column)
            entries.append(new ZelSequencerEntry{m_columns.at(column).first, 0, 0, 1000});
        m_sets.insert(row, new ZelSequencerItem(entries, this));
    }
    endInsertRows();
    return true;
}

bool ZelSequencerModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || count < 1 || row < 0 || row > m_sets.size() - count)
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    for (int i = 0; i < count; ++i)
        delete m_sets.takeAt(row);
    endRemoveRows();
    return true;
}

Qt::ItemFlags ZelSequencerModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.column() != 0)
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

ZelSequencerDelegate::ZelSequencerDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

ZelSequencerDelegate::~ZelSequencerDelegate() = default;

QWidget* ZelSequencerDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                            const QModelIndex& index) const
{
    auto* editor = new ZelSpinBox(parent);
    editor->setRange(index.data(ZelSequencerModel::SeqMinimumRole).toLongLong(),
                     index.data(ZelSequencerModel::SeqMaximumRole).toLongLong());
    return editor;
}

void ZelSequencerDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* box = qobject_cast<ZelSpinBox*>(editor))
        box->setValue(index.data(Qt::DisplayRole).toLongLong());
}

void ZelSequencerDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* box = qobject_cast<ZelSpinBox*>(editor))
        model->setData(index, box->value(), Qt::EditRole);
}

void ZelSequencerDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                const QModelIndex&) const
{
    editor->setGeometry(option.rect);
}
