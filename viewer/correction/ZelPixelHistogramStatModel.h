#ifndef ZELPIXELHISTOGRAMSTATMODEL_H
#define ZELPIXELHISTOGRAMSTATMODEL_H

#include <QAbstractTableModel>
#include <QVector>

// Mean and mode of each band (one for mono, red, green and blue for colour).
class ZelPixelHistogramStatModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ZelPixelHistogramStatModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

private:
    struct Band
    {
        QString name;
        double mean = 0;
        qulonglong modeCount = 0;
        quint32 modeValue = 0;
    };

    quint64 pixelFormat = 0;
    QVector<Band> bands;
};

#endif // ZELPIXELHISTOGRAMSTATMODEL_H
