#pragma once

#include "ZelSoftwarePollingItemInfo.h"

#include <QDomDocument>
#include <QList>
#include <QObject>
#include <QString>

class QTimer;

// Runs software polling for the whole viewer: one repeating timer per entry,
// each asking the camera windows to re-read its feature through
// requestInvalidate. Keeps the settings document in step with its timers.
class ZelSoftwarePollingManager : public QObject
{
    Q_OBJECT

public:
    explicit ZelSoftwarePollingManager(QObject* parent = nullptr);

    // Loads a settings file. On failure nothing changes. With replace set
    // the existing entries are dropped first; otherwise loaded entries whose
    // name already runs are skipped. The document afterwards holds exactly
    // the running entries. Timers of enabled entries start while polling is on.
    bool Load(const QString& path, bool replace);
    // Writes the document; never overwrites a file that failed to load with
    // an empty list, and keeps a copy of such a file before replacing it.
    bool Save(const QString& path, QString* errorString = nullptr);
    QList<ZelSoftwarePollingItemInfo> GetList() const;

    bool isEnabled() const { return m_enabled; }
    const QDomDocument& document() const { return m_document; }

public slots:
    void SetEnable(bool bEnable);
    void Add(ZelSoftwarePollingItemInfo info, bool bUpdateXml = true);
    void Remove(QString name, bool bUpdateXml = true);
    void Update(ZelSoftwarePollingItemInfo info, bool bUpdateXml = true);
    void Clear(bool bUpdateXml = true);

signals:
    void requestInvalidate(QString featureName, QString condition);

private slots:
    void onPollTimeout();

private:
    int findTimer(const QString& name) const;
    QTimer* createTimer(const ZelSoftwarePollingItemInfo& info);
    void applyEntry(QTimer* timer, const ZelSoftwarePollingItemInfo& info);
    void dropTimer(QTimer* timer);
    void rebuildDocument();
    bool writeDocument(const QString& path, QString& reason);

    bool m_enabled = true;
    QList<QTimer*> m_timers;
    QDomDocument m_document;
    // A file that exists but could not be loaded; it is not overwritten blindly.
    QString m_unreadFile;
};
