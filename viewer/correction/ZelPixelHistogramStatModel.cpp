#include "ZelPixelHistogramStatModel.h"

#include "ZelPixelHistogramModel.h"
#include "ZelUtil.h"

#include <QBrush>

namespace {

QStringList bandNames(quint64 format)
{
    const QString mono = ZelPixelHistogramModel::MonoFormatName(format);
    if (!mono.isEmpty())
        return {mono};
    if (format != 0 && ZelUtil::IsColorFormat(format))
        return {QStringLiteral("Red"), QStringLiteral("Green"), QStringLiteral("Blue")};
    return {};
}

} // namespace

ZelPixelHistogramStatModel::ZelPixelHistogramStatModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

int ZelPixelHistogramStatModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : bands.size();
}

int ZelPixelHistogramStatModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 4;
}

QVariant ZelPixelHistogramStatModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= bands.size())
        return QVariant();
    const Band& band = bands[index.row()];
    const bool colour = ZelUtil::IsColorFormat(pixelFormat);
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case 0: return band.name;
        case 1: return band.mean;
        case 2: return band.modeCount;
        case 3: return QStringLiteral("0x") + QString::number(band.modeValue, 16).toUpper();
        default: return QVariant();
        }
    case Qt::FontRole:
        return index.column() == 0 ? QVariant(ZelPixelHistogramModel::HeadingFont()) : QVariant();
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::BackgroundRole:
        if (index.column() != 0)
            return QVariant();
        switch (index.row()) {
        case 0: return QBrush(colour ? Qt::red : Qt::black);
        case 1: return QBrush(Qt::green);
        case 2: return QBrush(Qt::blue);
        default: return QVariant();
        }
    case Qt::ForegroundRole:
        return index.column() == 0 && !colour ? QVariant(QBrush(Qt::white)) : QVariant();
    default:
        return QVariant();
    }
}

QVariant ZelPixelHistogramStatModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::FontRole)
        return ZelPixelHistogramModel::HeadingFont();
    if (role != Qt::DisplayRole)
        return QVariant();
    static const char* const titles[] = {"Band", "Mean", "Mode (Count)", "Mode (Value)"};
    return section >= 0 && section < 4 ? QVariant(QString::fromLatin1(titles[section])) : QVariant();
}

bool ZelPixelHistogramStatModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= bands.size())
        return false;
    Band& band = bands[index.row()];
    switch (index.column()) {
    case 1: band.mean = value.toDouble(); break;
    case 2: band.modeCount = value.toULongLong(); break;
    case 3: band.modeValue = value.toUInt(); break;
    default: return false;
    }
    emit dataChanged(index, index);
    return true;
}

bool ZelPixelHistogramStatModel::setHeaderData(int, Qt::Orientation, const QVariant& value, int role)
{
    if (role != ZelPixelHistogramModel::PixelFormatRole)
        return false;
    const quint64 format = value.toULongLong();
    if (format == pixelFormat)
        return true;
    beginResetModel();
    pixelFormat = format;
    bands.clear();
    for (const QString& name : bandNames(format))
        bands.append(Band{name, 0, 0, 0});
    endResetModel();
    emit headerDataChanged(Qt::Vertical, 0, qMax(0, bands.size() - 1));
    return true;
}
