#include "ZelSPSetting.h"

#include "ZelAssistantXml.h"

#include <QFile>
#include <QVariant>
#include <QtGlobal>

#include <climits>

namespace {

const QString kFeatureList = QStringLiteral("FeatureList");
const QString kFeature = QStringLiteral("Feature");
const QString kPollingTime = QStringLiteral("PollingTime");
const QString kEnable = QStringLiteral("Enable");
const QString kCondition = QStringLiteral("Condition");

QDomElement textElement(QDomDocument& document, const QString& tag, const QString& text)
{
    QDomElement element = document.createElement(tag);
    element.appendChild(document.createTextNode(text));
    return element;
}

// A CDATA section cannot hold "]]>", so such a text is split between
// adjacent sections ("...]]" and ">...") that read back as one text.
QDomElement conditionElement(QDomDocument& document, const QString& condition)
{
    QDomElement element = document.createElement(kCondition);
    const QString terminator = QStringLiteral("]]>");
    int start = 0;
    for (int at = condition.indexOf(terminator); at >= 0;
         at = condition.indexOf(terminator, at + 1)) {
        element.appendChild(document.createCDATASection(condition.mid(start, at + 2 - start)));
        start = at + 2;
    }
    element.appendChild(document.createCDATASection(condition.mid(start)));
    return element;
}

bool sameName(const QDomElement& feature, const QString& name)
{
    return feature.attribute("name").compare(name, Qt::CaseInsensitive) == 0;
}

} // namespace

void createSPSettingDocument(QDomDocument& document)
{
    QDomElement root = createAssistantDocument(document, QStringLiteral("SPSetting"));
    root.appendChild(document.createElement(kFeatureList));
}

QDomElement findFeatureList(const QDomDocument& document)
{
    const QDomNodeList lists = document.elementsByTagName(kFeatureList);
    if (lists.count() != 1)
        return QDomElement();
    return lists.at(0).toElement();
}

void addFeatureToSPSetting(QDomDocument& document, const ZelSoftwarePollingItemInfo& info)
{
    QDomElement list = findFeatureList(document);
    if (list.isNull())
        return;
    QDomElement feature = document.createElement(kFeature);
    feature.setAttribute("name", info.name);
    feature.appendChild(textElement(document, kPollingTime, QString::number(info.pollTime)));
    feature.appendChild(textElement(document, kEnable, info.enabled ? "True" : "False"));
    feature.appendChild(conditionElement(document, info.condition));
    list.appendChild(feature);
}

void removeFeatureFromSPSetting(QDomDocument& document, const QString& name)
{
    QDomElement list = findFeatureList(document);
    if (list.isNull())
        return;
    QDomElement feature = list.firstChildElement(kFeature);
    while (!feature.isNull()) {
        QDomElement next = feature.nextSiblingElement(kFeature);
        if (sameName(feature, name))
            list.removeChild(feature);
        feature = next;
    }
}

void updateFeatureInSPSetting(QDomDocument& document, const ZelSoftwarePollingItemInfo& info)
{
    const QDomElement list = findFeatureList(document);
    if (list.isNull())
        return;
    QDomElement feature = list.firstChildElement(kFeature);
    while (!feature.isNull() && !sameName(feature, info.name))
        feature = feature.nextSiblingElement(kFeature);
    if (feature.isNull())
        return;

    auto replace = [&feature](const QString& tag, const QDomElement& fresh) {
        const QDomElement old = feature.firstChildElement(tag);
        if (!old.isNull())
            feature.replaceChild(fresh, old);
    };
    replace(kPollingTime, textElement(document, kPollingTime, QString::number(info.pollTime)));
    replace(kEnable, textElement(document, kEnable, info.enabled ? "True" : "False"));
    replace(kCondition, conditionElement(document, info.condition));
}

bool loadSPSetting(QDomDocument& document, const QString& path,
                   QList<ZelSoftwarePollingItemInfo>& list)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QDomDocument loaded;
    if (!loaded.setContent(&file, false))
        return false;
    if (loaded.documentElement().tagName() != QLatin1String("SPSetting"))
        return false;
    if (findFeatureList(loaded).isNull())
        return false;
    document = loaded;
    readSPSettingFeatures(document, list);
    return true;
}

void readSPSettingFeatures(const QDomDocument& document, QList<ZelSoftwarePollingItemInfo>& list)
{
    const QDomElement featureList = findFeatureList(document);
    for (QDomElement feature = featureList.firstChildElement(kFeature); !feature.isNull();
         feature = feature.nextSiblingElement(kFeature)) {
        ZelSoftwarePollingItemInfo info;
        info.name = feature.attribute("name").trimmed();
        if (info.name.isEmpty())
            continue;

        info.pollTime = kDefaultPollTime;
        const QDomElement pollTime = feature.firstChildElement(kPollingTime);
        bool ok = false;
        const qlonglong ms = pollTime.isNull() ? 0 : pollTime.text().toLongLong(&ok, 10);
        if (ok)
            info.pollTime = boundedPollTime(int(qBound<qlonglong>(INT_MIN, ms, INT_MAX)));

        const QDomElement enable = feature.firstChildElement(kEnable);
        info.enabled = !enable.isNull() && QVariant(enable.text()).toBool();

        const QDomElement condition = feature.firstChildElement(kCondition);
        if (!condition.isNull())
            info.condition = condition.text();
        list.append(info);
    }
}
