#include "ZelTLPreferredList.h"

#include "ZelAppSettings.h"
#include "ZelTLSettingsFile.h"

#include <QFile>
#include <QFileInfo>

ZelTLPreferredList* ZelTLPreferredList::instance()
{
    static ZelTLPreferredList list(ZelAppSettings::instance()->configDir);
    return &list;
}

ZelTLPreferredList::ZelTLPreferredList(const QString& configDir)
    : m_filePath(configDir + QLatin1Char('/') + QLatin1String(fileName()))
{
    m_doc.appendChild(m_doc.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement root = m_doc.createElement(QStringLiteral("TLSettingPreferred"));
    ZelTLSettingsFile::addSchemaAttributes(root);
    m_doc.appendChild(root);
    if (!QFileInfo::exists(m_filePath))
        ZelTLSettingsFile::writeDocument(m_filePath, m_doc);

    m_entries.append(ZelTLPreferredEntry{QStringLiteral("Euresys"), QStringLiteral("coaxlink.cti")});
    load();
}

void ZelTLPreferredList::load()
{
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QDomDocument doc;
    if (!doc.setContent(&file, false))
        return;
    if (doc.documentElement().tagName() != QLatin1String("TLSettingPreferred"))
        return;
    m_doc = doc;
    parseDocument();
}

void ZelTLPreferredList::parseDocument()
{
    const QDomElement root = m_doc.firstChildElement(QStringLiteral("TLSettingPreferred"));
    const QDomNodeList layers = root.elementsByTagName(QStringLiteral("TransportLayer"));
    for (int i = 0; i < layers.count(); ++i) {
        ZelTLPreferredEntry entry;
        for (QDomNode n = layers.at(i).firstChild(); !n.isNull(); n = n.nextSibling()) {
            const QDomElement e = n.toElement();
            if (e.isNull())
                continue;
            if (e.tagName().compare(QLatin1String("Vendor"), Qt::CaseInsensitive) == 0)
                entry.vendor = e.text();
            else if (e.tagName().compare(QLatin1String("TLName"), Qt::CaseInsensitive) == 0)
                entry.tlName = e.text();
        }
        m_entries.append(entry);
    }
}
