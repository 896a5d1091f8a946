#include "ZelLUTSettingsFile.h"

#include "ZelAssistantXml.h"

#include <QFile>
#include <QPair>
#include <QXmlStreamReader>

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

bool ZelLUTSettingsFile::readFirstTable(const QString& fileName, int rows, qint64 minValue, qint64 maxValue,
                                        ZelLUTSelectorEntry& entry, QString* reason)
{
    auto fail = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return fail(QStringLiteral("The file cannot be read: %1").arg(file.errorString()));
    QXmlStreamReader xml(&file);
    auto notXml = [&]() {
        return fail(QStringLiteral("The file is not well-formed XML: %1 (line %2).")
                        .arg(xml.errorString())
                        .arg(xml.lineNumber()));
    };
    if (!xml.readNextStartElement())
        return notXml();
    if (xml.name() != rootName)
        return fail(QStringLiteral("The file's root element is \"%1\", not \"%2\".").arg(xml.name().toString(), rootName));

    // The first table at any depth below the root.
    bool found = false;
    for (int depth = 0; !found && depth >= 0 && !xml.atEnd();) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            found = xml.name() == selectorName;
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    if (xml.hasError())
        return notXml();
    if (!found)
        return fail(QStringLiteral("The file holds no \"%1\" table.").arg(selectorName));

    ZelLUTSelectorEntry read;
    read.name = xml.attributes().value(QStringLiteral("name")).toString();
    bool enableOk = false;
    const int enable = xml.attributes().value(QStringLiteral("enable")).toInt(&enableOk, 10);
    read.enable = enableOk && enable != 0;

    // Only table entries count: a comment or a foreign element adds no
    // position that would later overwrite a real entry with 0.
    QVector<QPair<int, int>> data;   // (index or -1, value) in file order
    int n = 0;
    while (xml.readNextStartElement()) {
        if (xml.name() == dataName) {
            ++n;
            if (rows >= 0 && n > rows)
                return fail(QStringLiteral("The file's table holds more than %1 entries; the camera's table holds %1.")
                                .arg(rows));
            const QXmlStreamAttributes attributes = xml.attributes();
            bool indexOk = false;
            const int index = attributes.value(QStringLiteral("index")).toInt(&indexOk, 10);
            const QStringRef text = attributes.value(QStringLiteral("value"));
            bool valueOk = false;
            const qint64 value = text.toLongLong(&valueOk, 10);
            if (!valueOk)
                return fail(QStringLiteral("Entry %1 has the value \"%2\", which is not a whole number.")
                                .arg(n)
                                .arg(text.toString()));
            if (rows >= 0 && (value < minValue || value > maxValue))
                return fail(QStringLiteral("Entry %1 has the value %2; the camera's table holds %3 to %4.")
                                .arg(n)
                                .arg(value)
                                .arg(minValue)
                                .arg(maxValue));
            if (rows >= 0)
                data.append(qMakePair(indexOk && index >= 0 ? index : -1, int(value)));
        }
        xml.skipCurrentElement();
    }
    if (xml.hasError())
        return notXml();

    if (rows >= 0) {
        read.values = QVector<double>(n, 0.0);
        for (const QPair<int, int>& d : qAsConst(data))
            if (d.first >= 0 && d.first < n)
                read.values[d.first] = d.second;
    }
    entry = read;
    return true;
}
