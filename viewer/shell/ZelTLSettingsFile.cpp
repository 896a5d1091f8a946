#include "ZelTLSettingsFile.h"

#include "OrvSdk.h"
#include "ZelAppSettings.h"
#include "ZelTLPreferredList.h"
#include "ZelUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace {

// Producer names of the maker that are enabled by default.
const char* const kDefaultEnabled[] = {"orv_u3v_tl", "orv_cl_tl", "orv_gev_tl"};

} // namespace

ZelTLSettingsFile* ZelTLSettingsFile::instance()
{
    static ZelTLSettingsFile store(ZelAppSettings::instance()->configDir);
    return &store;
}

ZelTLSettingsFile::ZelTLSettingsFile(const QString& configDir, const ZelTLPreferredList* preferred)
    : m_filePath(configDir + QLatin1Char('/') + QLatin1String(fileName()))
    , m_preferred(preferred)
{
    bool valid = false;
    if (QFileInfo::exists(m_filePath)) {
        QFile file(m_filePath);
        valid = file.open(QIODevice::ReadOnly | QIODevice::Text) && checkContent(&file, true);
    }
    if (!valid)
        createDefault();
}

bool ZelTLSettingsFile::isEnabled(const QList<ZelTLSettingEntry>& tlEntries, const ORV_TL_INFO& tl)
{
    const QString path = ZelUtil::RecordText(tl.fullPath);
    for (const ZelTLSettingEntry& entry : tlEntries) {
        if (entry.enabled && ZelUtil::EqualPath(entry.path, path))
            return true;
    }
    return false;
}

ZelTLSettingEntry ZelTLSettingsFile::entryFor(const ORV_TL_INFO& tl, bool enabled)
{
    return ZelTLSettingEntry{ZelUtil::RecordText(tl.name), ZelUtil::RecordText(tl.fullPath), enabled};
}

bool ZelTLSettingsFile::writeDocument(const QString& filePath, const QDomDocument& doc)
{
    if (!QDir().mkpath(QFileInfo(filePath).absolutePath()))
        return false;
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    doc.save(stream, 4, QDomNode::EncodingFromDocument);
    stream.flush();
    return stream.status() == QTextStream::Ok && file.commit();
}

void ZelTLSettingsFile::addSchemaAttributes(QDomElement& root)
{
    root.setAttribute(QStringLiteral("xmlns:xsd"), QStringLiteral("http://www.w3.org/2001/XMLSchema"));
    root.setAttribute(QStringLiteral("xmlns:xsi"), QStringLiteral("http://www.w3.org/2001/XMLSchema-instance"));
}

bool ZelTLSettingsFile::checkContent(QIODevice* device, bool checkOnly)
{
    QDomDocument doc;
    if (!doc.setContent(device, false))
        return false;
    const QDomElement root = doc.documentElement();
    if (root.tagName() != QLatin1String("TLSetting"))
        return false;
    // A list without producers is a valid selection: the operator may have
    // chosen none.
    if (root.elementsByTagName(QStringLiteral("AdditionalSearchPath")).count() != 1
        || root.elementsByTagName(QStringLiteral("TransportLayerList")).count() != 1)
        return false;
    if (!checkOnly)
        m_doc = doc;
    return true;
}

bool ZelTLSettingsFile::read(QString& searchPath, QList<ZelTLSettingEntry>& tlEntries)
{
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    if (!checkContent(&file, false))
        return false;
    parseDocument(searchPath, tlEntries);
    return true;
}

void ZelTLSettingsFile::parseDocument(QString& searchPath, QList<ZelTLSettingEntry>& tlEntries) const
{
    const QDomElement root = m_doc.firstChildElement(QStringLiteral("TLSetting"));
    searchPath = root.elementsByTagName(QStringLiteral("AdditionalSearchPath")).at(0).toElement().text();
    const QDomElement list = root.elementsByTagName(QStringLiteral("TransportLayerList")).at(0).toElement();
    const QDomNodeList layers = list.elementsByTagName(QStringLiteral("TransportLayer"));
    for (int i = 0; i < layers.count(); ++i) {
        const QDomElement layer = layers.at(i).toElement();
        ZelTLSettingEntry entry;
        entry.name = layer.attribute(QStringLiteral("name"));
        for (QDomNode n = layer.firstChild(); !n.isNull(); n = n.nextSibling()) {
            const QDomElement e = n.toElement();
            if (e.isNull())
                continue;
            if (e.tagName().compare(QLatin1String("Path"), Qt::CaseInsensitive) == 0)
                entry.path = e.text();
            else if (e.tagName().compare(QLatin1String("Enabled"), Qt::CaseInsensitive) == 0)
                entry.enabled = e.text() == QLatin1String("True");
        }
        tlEntries.append(entry);
    }
}

bool ZelTLSettingsFile::save(const QString& searchPath, const QList<ZelTLSettingEntry>& tlEntries)
{
    return writeFile(m_filePath, searchPath, tlEntries);
}

bool ZelTLSettingsFile::writeFile(const QString& filePath, const QString& searchPath,
                                  const QList<ZelTLSettingEntry>& tlEntries)
{
    m_doc = QDomDocument();
    QDomElement root = m_doc.createElement(QStringLiteral("TLSetting"));
    addSchemaAttributes(root);
    m_doc.appendChild(root);
    fillDocument(searchPath, tlEntries);
    return writeDocument(filePath, m_doc);
}

void ZelTLSettingsFile::fillDocument(const QString& searchPath, const QList<ZelTLSettingEntry>& tlEntries)
{
    QDomElement root = m_doc.firstChildElement(QStringLiteral("TLSetting"));
    while (root.hasChildNodes())
        root.removeChild(root.firstChild());

    QDomElement additional = m_doc.createElement(QStringLiteral("AdditionalSearchPath"));
    additional.appendChild(m_doc.createTextNode(searchPath));
    root.appendChild(additional);

    QDomElement list = m_doc.createElement(QStringLiteral("TransportLayerList"));
    for (const ZelTLSettingEntry& entry : tlEntries) {
        QDomElement layer = m_doc.createElement(QStringLiteral("TransportLayer"));
        layer.setAttribute(QStringLiteral("name"), entry.name);
        QDomElement path = m_doc.createElement(QStringLiteral("Path"));
        path.appendChild(m_doc.createTextNode(entry.path));
        layer.appendChild(path);
        QDomElement enabled = m_doc.createElement(QStringLiteral("Enabled"));
        enabled.appendChild(m_doc.createTextNode(entry.enabled ? QStringLiteral("True") : QStringLiteral("False")));
        layer.appendChild(enabled);
        list.appendChild(layer);
    }
    root.appendChild(list);
}

void ZelTLSettingsFile::createDefault()
{
    const QString searchPath = ZelUtil::GetGenTLSearchPath(QString());
    const QList<ZelTLPreferredEntry> preferred =
        (m_preferred ? m_preferred : ZelTLPreferredList::instance())->entries();

    QList<ZelTLSettingEntry> entries;
    QString path;
    QString name;
    for (int i = 0; ZelUtil::FindFile(i, searchPath, QStringLiteral("*.cti"), path, name); ++i) {
        ZelTLSettingEntry entry{name, path, false};
        for (const char* maker : kDefaultEnabled)
            entry.enabled = entry.enabled || name.contains(QLatin1String(maker));
        for (const ZelTLPreferredEntry& p : preferred)
            entry.enabled = entry.enabled || name == p.tlName;
        entries.append(entry);
    }
    // With no producer found nothing is written: the next start builds the
    // default again and finds the producers installed by then, and an empty
    // file is kept for a selection the operator made.
    if (entries.isEmpty())
        return;
    writeFile(m_filePath, QString(), entries);
}
