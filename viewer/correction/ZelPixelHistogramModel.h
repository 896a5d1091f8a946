#ifndef ZELPIXELHISTOGRAMMODEL_H
#define ZELPIXELHISTOGRAMMODEL_H

#include <QAbstractTableModel>
#include <QFont>
#include <QRect>

#include <vector>

// The counts of the last histogram pass: one row per pixel value, a column
// of values then one column per channel.
class ZelPixelHistogramModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Roles {
        CountsRole = 257,       // setData: a ZelPixelHistogramData
        PixelFormatRole = 258,  // setHeaderData / headerData: the format
        AoiRole = 259,          // data: the AOI of the last counts
    };

    explicit ZelPixelHistogramModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

    // "Mono8" ... "Mono16" for the mono formats shown; empty for others.
    static QString MonoFormatName(quint64 format);
    // The bold font of both histogram tables' headings.
    static QFont HeadingFont();

    // Count of one channel (0 red or mono, 1 green, 2 blue) at a value.
    qulonglong count(int channel, int value) const;

private:
    quint64 pixelFormat = 0;
    int rows = 0;
    int channels = 0;
    std::vector<qulonglong> counts[3];
    QRect aoi;
};

#endif // ZELPIXELHISTOGRAMMODEL_H
