#ifndef ZELDEFECTPIXEL_H
#define ZELDEFECTPIXEL_H

#include <QtGlobal>

// One entry of a defect map: the pixel's column and row and its correction
// code (0: none; revision 4 stores 100 to 115 with the pixel).
struct ZelDefectPixel
{
    qint32 x = 0;
    qint32 y = 0;
    qint32 value = 0;

    // The word that ends a map in the camera.
    static constexpr quint32 endMarker = 0xFFFFFFFFu;

    // The camera's map word of this entry: revision 4 holds x in bits 0..13,
    // y in bits 14..27 and value − 100 in bits 28..31; other revisions x in
    // bits 0..15 and y in bits 16..31 and only codes below 4. False, word
    // untouched, for an entry the camera cannot hold: negative or too wide
    // x or y, a code out of range, or a word equal to the end marker.
    bool encode(int revision, quint32& word) const;
    // The entry of a map word (value 0 for revisions other than 4).
    static ZelDefectPixel decode(int revision, quint32 word);

    bool operator==(const ZelDefectPixel& o) const { return x == o.x && y == o.y && value == o.value; }
};

#endif // ZELDEFECTPIXEL_H
