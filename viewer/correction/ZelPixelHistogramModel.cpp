#include "ZelPixelHistogramModel.h"

#include "ZelPixelHistogramData.h"
#include "ZelUtil.h"

#include <algorithm>

QString ZelPixelHistogramModel::MonoFormatName(quint64 format)
{
    switch (uint32_t(format)) {
    case 0x01080001: return QStringLiteral("Mono8");
    case 0x01100003: return QStringLiteral("Mono10");
    case 0x01100005: return QStringLiteral("Mono12");
    case 0x010C0006: return QStringLiteral("Mono12Packed");
    case 0x01100007: return QStringLiteral("Mono16");
    default: return QString();
    }
}

QFont ZelPixelHistogramModel::HeadingFont()
{
    QFont font(QStringLiteral("sans"), 10);
    font.setBold(true);
    return font;
}

ZelPixelHistogramModel::ZelPixelHistogramModel(QObject* parent)
    : QAbstractTableModel(parent)
{
    registerPixelHistogramData();
}

int ZelPixelHistogramModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows;
}

int ZelPixelHistogramModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    if (pixelFormat == 0)
        return 1;
    return ZelUtil::IsColorFormat(pixelFormat) ? 4 : 2;
}

qulonglong ZelPixelHistogramModel::count(int channel, int value) const
{
    if (channel < 0 || channel >= 3 || value < 0 || size_t(value) >= counts[channel].size())
        return 0;
    return counts[channel][size_t(value)];
}

QVariant ZelPixelHistogramModel::data(const QModelIndex& index, int role) const
{
    if (role == AoiRole)
        return aoi;
    if (!index.isValid() || index.row() >= rows)
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    if (index.column() == 0)
        return index.row();
    const int channel = index.column() - 1;
    if (channel >= channels)
        return QVariant();
    return count(channel, index.row());
}

QVariant ZelPixelHistogramModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == PixelFormatRole)
        return pixelFormat;
    if (role == Qt::FontRole)
        return HeadingFont();
    if (role != Qt::DisplayRole)
        return QVariant();
    const bool colour = pixelFormat != 0 && ZelUtil::IsColorFormat(pixelFormat);
    switch (section) {
    case 0: return QStringLiteral("Pixel Value");
    case 1: return colour ? QStringLiteral("R") : QVariant(MonoFormatName(pixelFormat));
    case 2: return colour ? QVariant(QStringLiteral("G")) : QVariant();
    case 3: return colour ? QVariant(QStringLiteral("B")) : QVariant();
    default: return QVariant();
    }
}

bool ZelPixelHistogramModel::setData(const QModelIndex&, const QVariant& value, int role)
{
    if (role != CountsRole || !value.canConvert<ZelPixelHistogramData>())
        return false;
    const ZelPixelHistogramData counted = value.value<ZelPixelHistogramData>();
    qulonglong* const sources[3] = {counted.pixelCountData0, counted.pixelCountData1, counted.pixelCountData2};
    // Never more than the counts hold, nor more than the rows shown.
    const size_t copy = size_t(std::clamp(counted.length, 0, rows));
    for (int c = 0; c < channels; ++c) {
        if (!sources[c])
            continue;
        std::fill(counts[c].begin(), counts[c].end(), 0);
        std::copy(sources[c], sources[c] + copy, counts[c].begin());
    }
    aoi = counted.aoi;
    emit dataChanged(index(0, 0), index(std::max(rows - 1, 0), columnCount() - 1));
    return true;
}

bool ZelPixelHistogramModel::setHeaderData(int, Qt::Orientation, const QVariant& value, int role)
{
    if (role != PixelFormatRole)
        return false;
    const quint64 format = value.toULongLong();
    if (format == pixelFormat)
        return true;
    // Views learn the new shape through a reset.
    beginResetModel();
    pixelFormat = format;
    const int max = format ? ZelUtil::GetMaxPixelValue(format) : 0;
    rows = max > 0 ? max + 1 : 0;
    channels = rows == 0 ? 0 : (ZelUtil::IsColorFormat(format) ? 3 : 1);
    for (int c = 0; c < 3; ++c)
        counts[c].assign(c < channels ? size_t(rows) : 0, 0);
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    return true;
}
