#include "ZelSequencerSettingDocument.h"

#include "ZelAssistantXml.h"
#include "ZelSequencerItem.h"
#include "ZelSequencerModel.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {
const QString rootName = QStringLiteral("SequencerSetting");
const QString setName = QStringLiteral("SeqSelector");
} // namespace

ZelSequencerSettingDocument::ZelSequencerSettingDocument() { createAssistantDocument(*this, rootName); }

bool ZelSequencerSettingDocument::appendSet(const ZelSequencerItem* set)
{
    if (isNull() || !set)
        return false;
    QDomElement root = firstChildElement(rootName);
    if (root.isNull())
        return false;
    QDomElement element = createElement(setName);
    ZelSequencerEntry entry;
    for (int i = 0; set->entryAt(i, entry); ++i) {
        QDomElement child = createElement(entry.featureName);
        child.appendChild(createTextNode(QString::number(entry.value)));
        element.appendChild(child);
    }
    root.appendChild(element);
    return true;
}

QList<QDomElement> ZelSequencerSettingDocument::setElements(const QDomDocument& document)
{
    QList<QDomElement> sets;
    const QDomElement root = document.firstChildElement(rootName);
    for (QDomElement e = root.firstChildElement(setName); !e.isNull(); e = e.nextSiblingElement(setName))
        sets.append(e);
    return sets;
}

bool ZelSequencerSettingDocument::parseValue(const QString& featureName, const QString& text, qint64& value)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    qint64 number = trimmed.toLongLong(&ok);
    if (!ok) {
        const double real = trimmed.toDouble(&ok);
        if (!ok) {
            // Text that is no number ("abc", empty) reads as 0; a number
            // too large for a double, infinity and not-a-number are refused.
            static const QRegularExpression numeric(
                QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$|^[+-]?(inf|infinity|nan)$"),
                QRegularExpression::CaseInsensitiveOption);
            if (numeric.match(trimmed).hasMatch())
                return false;
            number = 0;
        } else {
            if (!std::isfinite(real) || real >= 9223372036854775808.0 || real < -9223372036854775808.0)
                return false;
            number = qint64(std::trunc(real));
        }
    }
    switch (ZelSequencerUnits::kindOf(featureName)) {
    case ZelSequencerUnits::Kind::Time:
    case ZelSequencerUnits::Kind::PwmPeriod:
        if (number < 0)
            return false;
        break;
    case ZelSequencerUnits::Kind::DutyCycle:
        if (number < 0 || number > 100)
            return false;
        break;
    default:
        break;
    }
    value = number;
    return true;
}

bool ZelSequencerSettingDocument::load(const QString& fileName, QList<ZelSequencerItem*>& sets)
{
    QDomDocument parsed;
    if (!loadAssistantDocument(fileName, rootName, parsed))
        return false;
    const QList<QDomElement> elements = setElements(parsed);
    if (elements.size() > maxSets)
        return false;
    for (const QDomElement& element : elements) {
        for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
            qint64 value = 0;
            if (!parseValue(child.tagName(), child.text(), value))
                return false;
        }
    }
    QDomDocument::operator=(parsed);
    readSets(sets);
    return true;
}

void ZelSequencerSettingDocument::readSets(QList<ZelSequencerItem*>& sets) const
{
    for (const QDomElement& element : setElements(*this)) {
        QList<ZelSequencerEntry*> entries;
        for (QDomNode node = element.firstChild(); !node.isNull(); node = node.nextSibling()) {
            auto* entry = new ZelSequencerEntry;
            if (node.isElement()) {
                const QDomElement child = node.toElement();
                entry->featureName = child.tagName();
                parseValue(entry->featureName, child.text(), entry->value);
            }
            entries.append(entry);
        }
        sets.append(new ZelSequencerItem(entries));
    }
}
