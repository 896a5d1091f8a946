#include "ZelDefectPixel.h"

bool ZelDefectPixel::encode(int revision, quint32& word) const
{
    if (x < 0 || y < 0)
        return false;
    const quint32 ux = quint32(x), uy = quint32(y);
    quint32 w;
    if (revision == 4) {
        if (ux > 0x3FFF || uy > 0x3FFF || value < 100 || value > 115)
            return false;
        w = (quint32(value - 100) << 28) | (uy << 14) | ux;
    } else {
        if (ux > 0xFFFF || uy > 0xFFFF || value >= 4)
            return false;
        w = (uy << 16) | ux;
    }
    if (w == endMarker)
        return false;
    word = w;
    return true;
}

ZelDefectPixel ZelDefectPixel::decode(int revision, quint32 word)
{
    ZelDefectPixel p;
    if (revision == 4) {
        p.x = qint32(word & 0x3FFF);
        p.y = qint32((word >> 14) & 0x3FFF);
        p.value = qint32(word >> 28) + 100;
    } else {
        p.x = qint32(word & 0xFFFF);
        p.y = qint32(word >> 16);
    }
    return p;
}
