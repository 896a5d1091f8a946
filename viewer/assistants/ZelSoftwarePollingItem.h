#pragma once

#include "ZelSoftwarePollingItemInfo.h"

#include <QObject>

// One row of the software polling table.
class ZelSoftwarePollingItem : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName)
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled)
    Q_PROPERTY(int pollTime READ pollTime WRITE setPollTime)
    Q_PROPERTY(QString condition READ condition WRITE setCondition)

public:
    explicit ZelSoftwarePollingItem(const ZelSoftwarePollingItemInfo& info, QObject* parent = nullptr);
    ZelSoftwarePollingItem(const QString& name, int pollTime, bool enabled, const QString& condition,
                           QObject* parent = nullptr);

    QString name() const { return m_info.name; }
    void setName(const QString& name) { m_info.name = name; }
    bool enabled() const { return m_info.enabled; }
    void setEnabled(bool enabled) { m_info.enabled = enabled; }
    int pollTime() const { return m_info.pollTime; }
    void setPollTime(int pollTime) { m_info.pollTime = pollTime; }
    QString condition() const { return m_info.condition; }
    void setCondition(const QString& condition) { m_info.condition = condition; }

    ZelSoftwarePollingItemInfo info() const { return m_info; }

private:
    ZelSoftwarePollingItemInfo m_info;
};
