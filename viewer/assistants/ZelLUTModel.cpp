#include "ZelLUTModel.h"

#include <QFont>

#include <cmath>

ZelLUTModel::ZelLUTModel(const QVector<double>& values, double maxValue, QObject* parent)
    : QAbstractListModel(parent)
    , m_values(values)
    , m_maxValue(maxValue)
{
}

ZelLUTModel::~ZelLUTModel() = default;

int ZelLUTModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_values.size();
}

QVariant ZelLUTModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() < 0 || index.row() >= m_values.size())
        return QVariant();
    return m_values.at(index.row());
}

bool ZelLUTModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role == Qt::EditRole) {
        if (!index.isValid() || index.row() < 0 || index.row() >= m_values.size())
            return false;
        m_values[index.row()] = value.toDouble();
        return true;
    }
    if (role == LUTInvertRole) {
        for (double& v : m_values)
            v = double(qint32(m_maxValue - double(qint32(std::trunc(v)))));
        return true;
    }
    return false;
}

QVariant ZelLUTModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    Q_UNUSED(section)
    switch (role) {
    case Qt::DisplayRole:
        if (orientation == Qt::Horizontal)
            return QStringLiteral("LUTIndex");
        if (orientation == Qt::Vertical)
            return QStringLiteral("LUTValue");
        return QVariant();
    case Qt::FontRole:
        return QFont(QStringLiteral("sans"), 10, 75, false);
    case LUTMaxIndexRole:
        return int(m_values.size() - 1);
    case LUTMaxValueRole:
        return m_maxValue;
    default:
        return QVariant();
    }
}

void ZelLUTModel::announce(int first, int last)
{
    emit dataChanged(index(first), index(last));
}
