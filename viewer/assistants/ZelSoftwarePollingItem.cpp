#include "ZelSoftwarePollingItem.h"

ZelSoftwarePollingItem::ZelSoftwarePollingItem(const ZelSoftwarePollingItemInfo& info, QObject* parent)
    : QObject(parent), m_info(info)
{
}

ZelSoftwarePollingItem::ZelSoftwarePollingItem(const QString& name, int pollTime, bool enabled,
                                               const QString& condition, QObject* parent)
    : QObject(parent), m_info{name, pollTime, enabled, condition}
{
}
