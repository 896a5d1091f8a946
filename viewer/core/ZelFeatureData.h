#ifndef ZELFEATUREDATA_H
#define ZELFEATUREDATA_H

#include "OrvSdk.h"

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstring>

// One feature as the feature tree and the assistants see it.
struct ZelFeatureData {
    ZelFeatureData() { std::memset(&info, 0, sizeof info); }

    ORV_FEATURE_INFO info;  // copied byte for byte from the SDK
    QVariant value;         // enumerations: the position of the current entry
    QStringList entries;    // enumeration entry names in SDK order
    QString description;
};

Q_DECLARE_METATYPE(ZelFeatureData)

#endif // ZELFEATUREDATA_H
