#include "ZelSequencerItem.h"

ZelSequencerItem::ZelSequencerItem(const QList<ZelSequencerEntry*>& entries, QObject* parent)
    : QObject(parent)
    , m_entries(entries)
{
    static const int type = qRegisterMetaType<ZelSequencerItem*>("ZelSequencerItem*");
    Q_UNUSED(type);
}

ZelSequencerItem::~ZelSequencerItem() { qDeleteAll(m_entries); }

ZelSequencerEntry* ZelSequencerItem::find(const QString& featureName) const
{
    for (ZelSequencerEntry* entry : m_entries) {
        if (entry->featureName == featureName)
            return entry;
    }
    return nullptr;
}

bool ZelSequencerItem::value(const QString& featureName, qint64& value) const
{
    const ZelSequencerEntry* entry = find(featureName);
    if (entry)
        value = entry->value;
    return entry != nullptr;
}

bool ZelSequencerItem::minimum(const QString& featureName, qint64& minimum) const
{
    const ZelSequencerEntry* entry = find(featureName);
    if (entry)
        minimum = entry->minimum;
    return entry != nullptr;
}

bool ZelSequencerItem::maximum(const QString& featureName, qint64& maximum) const
{
    if (!find(featureName))
        return false;
    static const QStringList duty = {"PWMChange0", "PWMChange1", "PWMChange2", "PWMChange3"};
    maximum = duty.contains(featureName) ? 100 : 2147483647;
    return true;
}

bool ZelSequencerItem::setValue(const QString& featureName, qint64 value)
{
    ZelSequencerEntry* entry = find(featureName);
    if (entry)
        entry->value = value;
    return entry != nullptr;
}

bool ZelSequencerItem::setMinimum(const QString& featureName, qint64 minimum)
{
    ZelSequencerEntry* entry = find(featureName);
    if (entry)
        entry->minimum = minimum;
    return entry != nullptr;
}

bool ZelSequencerItem::setMaximum(const QString& featureName, qint64 maximum)
{
    ZelSequencerEntry* entry = find(featureName);
    if (entry)
        entry->maximum = maximum;
    return entry != nullptr;
}

bool ZelSequencerItem::entryAt(int index, ZelSequencerEntry& entry) const
{
    if (index < 0 || index >= m_entries.size())
        return false;
    entry = *m_entries.at(index);
    return true;
}
