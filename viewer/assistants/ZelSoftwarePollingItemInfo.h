#pragma once

#include <QMetaType>
#include <QString>

// Poll times every editor and every timer keeps to, in milliseconds.
constexpr int kMinPollTime = 10;
constexpr int kMaxPollTime = 1000000;
constexpr int kDefaultPollTime = 1000;

inline int boundedPollTime(int ms)
{
    return ms < kMinPollTime ? kMinPollTime : (ms > kMaxPollTime ? kMaxPollTime : ms);
}

// One polled feature: its name, its timer interval, whether its timer runs
// while polling is on, and an optional condition ("Name op value").
struct ZelSoftwarePollingItemInfo
{
    QString name;
    int pollTime = 0;
    bool enabled = false;
    QString condition;

    bool operator==(const ZelSoftwarePollingItemInfo& other) const
    {
        return name == other.name && pollTime == other.pollTime && enabled == other.enabled
            && condition == other.condition;
    }
    bool operator!=(const ZelSoftwarePollingItemInfo& other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(ZelSoftwarePollingItemInfo)

// Registers the record under its own name so that it travels through queued
// and string-connected signals; safe to call more than once.
inline void registerSoftwarePollingItemInfo()
{
    qRegisterMetaType<ZelSoftwarePollingItemInfo>("ZelSoftwarePollingItemInfo");
}
