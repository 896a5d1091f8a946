#ifndef ZELSEQUENCERMODEL_H
#define ZELSEQUENCERMODEL_H

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStyledItemDelegate>

class ZelSequencerItem;

// Conversions between the camera's clock ticks (66,666,666 per second) and
// the units the operator edits, rounded to nearest.
namespace ZelSequencerUnits {
enum class Kind { None, Time, PwmPeriod, DutyCycle };
Kind kindOf(const QString& featureName);
constexpr qint64 ticksPerSecond = 66666666;
qint64 ticksToMicroseconds(qint64 ticks);
qint64 microsecondsToTicks(qint64 microseconds);
qint64 ticksToHertz(qint64 ticks);       // 0 stays 0 ("off")
qint64 hertzToTicks(qint64 hertz);       // 0 stays 0
qint64 toDisplay(Kind kind, qint64 stored);
qint64 toStored(Kind kind, qint64 shown);
// The editor's bounds in shown units for a feature whose camera bounds are
// the given ticks: time rounded inward, PWM from the swapped bounds with 0
// kept as "off", duty cycle 0..100.
QPair<qint64, qint64> displayBounds(Kind kind, qint64 minimumTicks, qint64 maximumTicks);
} // namespace ZelSequencerUnits

// The sequencer sets as a table: one row per set, one column per feature.
class ZelSequencerModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role {
        SeqMinimumRole = Qt::UserRole + 1,
        SeqMaximumRole,
        SeqFeatureNameRole,
        SeqItemRole,
        SeqRegisterValueRole,
        SeqMaxRowsRole
    };
    using Column = QPair<QString, QString>;   // feature name, unit text
    using Bounds = QPair<qint64, qint64>;     // raw minimum, maximum

    ZelSequencerModel(const QList<Column>& columns, const QList<ZelSequencerItem*>& sets, int maxRows,
                      QObject* parent = nullptr);
    ~ZelSequencerModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The camera's bounds (ticks) of each column's feature, by feature name;
    // the editor's bounds follow from them for every set.
    void setCameraBounds(const QHash<QString, Bounds>& bounds) { m_cameraBounds = bounds; }

private:
    ZelSequencerItem* setAt(int row) const;
    QString featureAt(int column) const;

    QList<ZelSequencerItem*> m_sets;
    QList<Column> m_columns;
    int m_maxRows;
    QHash<QString, Bounds> m_cameraBounds;
};

// Edits a cell with a ZelSpinBox bounded by the cell's minimum and maximum.
class ZelSequencerDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit ZelSequencerDelegate(QObject* parent = nullptr);
    ~ZelSequencerDelegate() override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
};

#endif // ZELSEQUENCERMODEL_H
