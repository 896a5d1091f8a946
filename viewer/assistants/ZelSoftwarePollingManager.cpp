#include "ZelSoftwarePollingManager.h"

#include "ZelAssistantXml.h"
#include "ZelSPSetting.h"
#include "ZelTrace.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QVariant>

namespace {

const char* const kDataProperty = "Data";

ZelSoftwarePollingItemInfo entryOf(const QTimer* timer)
{
    return timer->property(kDataProperty).value<ZelSoftwarePollingItemInfo>();
}

ZelSoftwarePollingItemInfo normalised(ZelSoftwarePollingItemInfo info)
{
    info.name = info.name.trimmed();
    info.pollTime = boundedPollTime(info.pollTime);
    return info;
}

bool sameFile(const QString& a, const QString& b)
{
    return !a.isEmpty() && QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

} // namespace

ZelSoftwarePollingManager::ZelSoftwarePollingManager(QObject* parent) : QObject(parent)
{
    registerSoftwarePollingItemInfo();
    createSPSettingDocument(m_document);
}

bool ZelSoftwarePollingManager::Load(const QString& path, bool replace)
{
    QDomDocument loaded;
    QList<ZelSoftwarePollingItemInfo> entries;
    if (!loadSPSetting(loaded, path, entries)) {
        if (QFileInfo::exists(path))
            m_unreadFile = QFileInfo(path).absoluteFilePath();
        return false;
    }
    if (sameFile(m_unreadFile, path))
        m_unreadFile.clear();

    if (replace)
        Clear(false);
    for (const ZelSoftwarePollingItemInfo& info : entries)
        Add(info, false);
    // Duplicates and entries that already ran are not in the timer list; the
    // document follows the timers so that a save writes what runs.
    rebuildDocument();
    return true;
}

bool ZelSoftwarePollingManager::Save(const QString& path, QString* errorString)
{
    QString reason;
    const bool saved = writeDocument(path, reason);
    if (!saved)
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! %s: %s", "ZelSoftwarePollingManager::Save",
                 QFile::encodeName(path).constData(), reason.toUtf8().constData());
    if (errorString)
        *errorString = reason;
    return saved;
}

bool ZelSoftwarePollingManager::writeDocument(const QString& path, QString& reason)
{
    if (sameFile(m_unreadFile, path) && QFile::exists(path)) {
        if (findFeatureList(m_document).firstChildElement("Feature").isNull()) {
            reason = QStringLiteral("The file could not be read and is kept as it is.");
            return false;
        }
        const QString copy = path + QStringLiteral(".bak");
        QFile::remove(copy);
        if (!QFile::copy(path, copy)) {
            reason = QStringLiteral("The unreadable file could not be kept as %1.").arg(copy);
            return false;
        }
    }
    if (!saveDomDocument(m_document, path, &reason))
        return false;
    if (sameFile(m_unreadFile, path))
        m_unreadFile.clear();
    return true;
}

QList<ZelSoftwarePollingItemInfo> ZelSoftwarePollingManager::GetList() const
{
    QList<ZelSoftwarePollingItemInfo> list;
    for (const QTimer* timer : m_timers)
        list.append(entryOf(timer));
    return list;
}

void ZelSoftwarePollingManager::SetEnable(bool bEnable)
{
    m_enabled = bEnable;
    for (QTimer* timer : qAsConst(m_timers))
        applyEntry(timer, entryOf(timer));
}

void ZelSoftwarePollingManager::Add(ZelSoftwarePollingItemInfo info, bool bUpdateXml)
{
    info = normalised(info);
    if (info.name.isEmpty() || findTimer(info.name) >= 0)
        return;
    m_timers.append(createTimer(info));
    if (bUpdateXml) {
        // The document may still hold the name when it was changed without
        // the timers; it keeps one element per name.
        removeFeatureFromSPSetting(m_document, info.name);
        addFeatureToSPSetting(m_document, info);
    }
}

void ZelSoftwarePollingManager::Remove(QString name, bool bUpdateXml)
{
    name = name.trimmed();
    const int at = findTimer(name);
    if (at >= 0)
        dropTimer(m_timers.takeAt(at));
    if (bUpdateXml)
        removeFeatureFromSPSetting(m_document, name);
}

void ZelSoftwarePollingManager::Update(ZelSoftwarePollingItemInfo info, bool bUpdateXml)
{
    info = normalised(info);
    const int at = findTimer(info.name);
    if (at >= 0)
        applyEntry(m_timers.at(at), info);
    if (bUpdateXml)
        updateFeatureInSPSetting(m_document, info);
}

void ZelSoftwarePollingManager::Clear(bool bUpdateXml)
{
    for (QTimer* timer : qAsConst(m_timers))
        dropTimer(timer);
    m_timers.clear();
    if (bUpdateXml)
        rebuildDocument();
}

void ZelSoftwarePollingManager::onPollTimeout()
{
    const auto* timer = qobject_cast<const QTimer*>(sender());
    if (!timer)
        return;
    const ZelSoftwarePollingItemInfo info = entryOf(timer);
    emit requestInvalidate(info.name, info.condition);
}

int ZelSoftwarePollingManager::findTimer(const QString& name) const
{
    for (int i = 0; i < m_timers.size(); ++i) {
        if (entryOf(m_timers.at(i)).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QTimer* ZelSoftwarePollingManager::createTimer(const ZelSoftwarePollingItemInfo& info)
{
    auto* timer = new QTimer(this);
    timer->setSingleShot(false);
    applyEntry(timer, info);
    connect(timer, &QTimer::timeout, this, &ZelSoftwarePollingManager::onPollTimeout);
    return timer;
}

void ZelSoftwarePollingManager::applyEntry(QTimer* timer, const ZelSoftwarePollingItemInfo& info)
{
    if (info.enabled && m_enabled)
        timer->start(boundedPollTime(info.pollTime));
    else
        timer->stop();
    timer->setProperty(kDataProperty, QVariant::fromValue(info));
}

void ZelSoftwarePollingManager::dropTimer(QTimer* timer)
{
    timer->stop();
    disconnect(timer, nullptr, this, nullptr);
    // The timer may be the sender of the slot that is running now.
    timer->deleteLater();
}

void ZelSoftwarePollingManager::rebuildDocument()
{
    m_document = QDomDocument();
    createSPSettingDocument(m_document);
    for (const ZelSoftwarePollingItemInfo& info : GetList())
        addFeatureToSPSetting(m_document, info);
}
