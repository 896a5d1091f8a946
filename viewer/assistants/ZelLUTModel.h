#ifndef ZELLUTMODEL_H
#define ZELLUTMODEL_H

#include <QAbstractListModel>
#include <QVector>

// One look-up table: row r holds the output value for input index r. The
// number of rows is fixed at construction. setData emits nothing: whoever
// changes values announces them with dataChanged after a batch.
class ZelLUTModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        LUTMaxIndexRole = Qt::UserRole + 1, // headerData: last row, as int
        LUTMaxValueRole,                    // headerData: largest value, as double
        LUTInvertRole                       // setData: every entry v becomes maxValue - v
    };

    ZelLUTModel(const QVector<double>& values, double maxValue, QObject* parent = nullptr);
    ~ZelLUTModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Announces rows first..last as changed.
    void announce(int first, int last);

private:
    QVector<double> m_values;
    double m_maxValue;
};

#endif // ZELLUTMODEL_H
