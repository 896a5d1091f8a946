#pragma once

#include "ZelSoftwarePollingItemInfo.h"

#include <QDomDocument>
#include <QDomElement>
#include <QList>
#include <QString>

// The software polling settings document: root "SPSetting" holding one
// "FeatureList" of "Feature" elements (attribute "name"; children
// "PollingTime", "Enable", "Condition"). Names compare without regard to case.

// The file the viewer keeps its own polling entries in.
inline const char* const kSPSettingFileName = "SoftwarePolling_Version_1_0.spsetting";

void createSPSettingDocument(QDomDocument& document);

// The one "FeatureList" element of the document; a null element when there
// is none or more than one.
QDomElement findFeatureList(const QDomDocument& document);

void addFeatureToSPSetting(QDomDocument& document, const ZelSoftwarePollingItemInfo& info);
void removeFeatureFromSPSetting(QDomDocument& document, const QString& name);
void updateFeatureInSPSetting(QDomDocument& document, const ZelSoftwarePollingItemInfo& info);

// Reads and checks a settings file. On success the document becomes the
// file's and its entries are appended to the list; on failure nothing changes.
bool loadSPSetting(QDomDocument& document, const QString& path,
                   QList<ZelSoftwarePollingItemInfo>& list);

// Appends one record per named "Feature" element of the document's feature
// list, in document order. Names come trimmed, poll times within the editors'
// range (missing or unreadable ones give the default).
void readSPSettingFeatures(const QDomDocument& document, QList<ZelSoftwarePollingItemInfo>& list);
