#ifndef ZELSDKMETATYPES_H
#define ZELSDKMETATYPES_H

// The SDK records that travel in signals, as Qt meta types. Include this
// header wherever one of them stands in a signal or a QVariant.
#include "OrvSdk.h"

#include <QMetaType>

Q_DECLARE_METATYPE(ORV_TL_INFO)
Q_DECLARE_METATYPE(ORV_INTERFACE_INFO)
Q_DECLARE_METATYPE(ORV_DEVICE_INFO)
Q_DECLARE_METATYPE(ORV_EVENT_DS_ACQUISITION_DATA)
Q_DECLARE_METATYPE(ORV_EVENT_REMOTE_DEVICE_DATA)

#endif // ZELSDKMETATYPES_H
