#include "ZelLUTSettingsFile.h"

#include "ZelAssistantXml.h"


#include <cmath>

namespace {

const QString rootName = QStringLiteral("LUTSetting");
const QString selectorName = QStringLiteral("LUTSelector");
const QString dataName = QStringLiteral("LUTData");

} // namespace

ZelLUTSettingsFile::ZelLUTSettingsFile()
{
    createAssistantDocument(m_document, rootName);
}

qint32 ZelLUTSettingsFile::roundedValue(double value)
{
    const double r = std::round(value);
    if (std::isnan(r))
        return 0;
    if (r >= 2147483647.0)
        return 2147483647;
    if (r <= -2147483648.0)
        return qint32(-2147483647 - 1);
    return qint32(r);
}

bool ZelLUTSettingsFile::save(const QString& fileName, const QList<ZelLUTSelectorEntry>& entries,
                              QString* errorString)
{
    for (const ZelLUTSelectorEntry& entry : entries)
        appendSelector(entry);
    return saveDomDocument(m_document, fileName, errorString);
}

void ZelLUTSettingsFile::appendSelector(const ZelLUTSelectorEntry& entry)
{
    QDomElement selector = m_document.createElement(selectorName);
    selector.setAttribute(QStringLiteral("name"), entry.name);
    selector.setAttribute(QStringLiteral("enable"), entry.enable ? QStringLiteral("1") : QStringLiteral("0"));
    m_document.firstChildElement(rootName).appendChild(selector);
    for (int i = 0; i < entry.values.size(); ++i) {
        QDomElement data = m_document.createElement(dataName);
        data.setAttribute(QStringLiteral("index"), QString::number(i));
        data.setAttribute(QStringLiteral("value"), QString::number(roundedValue(entry.values.at(i))));
        selector.appendChild(data);
    }
}

bool ZelLUTSettingsFile::load(const QString& fileName, QList<ZelLUTSelectorEntry>& entries)
{
    if (!loadAssistantDocument(fileName, rootName, m_document))
        return false;
    readSelectors(entries);
    return true;
}

void ZelLUTSettingsFile::readSelectors(QList<ZelLUTSelectorEntry>& entries) const
{
    const QDomNodeList selectors = m_document.firstChildElement(rootName).elementsByTagName(selectorName);
    for (int s = 0; s < selectors.size(); ++s) {
        const QDomElement selector = selectors.at(s).toElement();
        ZelLUTSelectorEntry entry;
        entry.name = selector.attribute(QStringLiteral("name"));
        bool ok = false;
        const int enable = selector.attribute(QStringLiteral("enable")).toInt(&ok, 10);
        entry.enable = ok && enable != 0;
        // Only table entries count: a comment or a foreign element adds no
        // position that would later overwrite a real entry with 0.
        int n = 0;
        for (QDomElement data = selector.firstChildElement(dataName); !data.isNull();
             data = data.nextSiblingElement(dataName))
            ++n;
        entry.values = QVector<double>(n, 0.0);
        for (QDomElement data = selector.firstChildElement(dataName); !data.isNull();
             data = data.nextSiblingElement(dataName)) {
            bool indexOk = false;
            const int index = data.attribute(QStringLiteral("index")).toInt(&indexOk, 10);
            if (!indexOk || index < 0 || index >= n)
                continue;
            bool valueOk = false;
            const int value = data.attribute(QStringLiteral("value")).toInt(&valueOk, 10);
            if (valueOk)
                entry.values[index] = value;
        }
        entries.append(entry);
    }
}
