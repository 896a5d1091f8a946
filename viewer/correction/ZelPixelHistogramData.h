#ifndef ZELPIXELHISTOGRAMDATA_H
#define ZELPIXELHISTOGRAMDATA_H

#include <QMetaType>
#include <QRect>

// Counts of one histogram pass: the AOI counted and one count array per
// channel (red or mono, green, blue; null where a channel is absent). Each
// array holds `length` entries.
struct ZelPixelHistogramData
{
    QRect aoi;
    qulonglong* pixelCountData0 = nullptr;
    qulonglong* pixelCountData1 = nullptr;
    qulonglong* pixelCountData2 = nullptr;
    int length = 0;
};
Q_DECLARE_METATYPE(ZelPixelHistogramData)

// Registers the type with Qt's meta-type system (for ZelStartup).
void registerPixelHistogramData();

#endif // ZELPIXELHISTOGRAMDATA_H
