#ifndef ZELBLOCKSHADINGMAP_H
#define ZELBLOCKSHADINGMAP_H

#include <QByteArray>
#include <QImage>
#include <QString>

#include <vector>

// A block shading map: one gain per 16 × 16 block, row by row, on a grid
// that starts at (-offsetX, -offsetY) of the image.
class ZelBlockShadingMap
{
public:
    enum class ParseResult {
        Loaded,
        Comment,        // text that begins with "#"
        TooFewFields,
        BadCounts,      // counts not positive or not matching the fields
        TooLarge,       // more blocks than the sensor's grid
        NotFinite       // a gain that is not a finite number
    };

    static constexpr int blockSize = 16;
    // At most this many characters of a text map are read.
    static constexpr qint64 maxTextLength = 60000000;

    int columns = 0;
    int rows = 0;
    std::vector<float> gains;

    bool isEmpty() const { return gains.empty(); }
    int count() const { return int(gains.size()); }

    // Columns and rows of the grid over an image of that size.
    static int gridColumns(int width, int offsetX) { return (width + offsetX + blockSize - 1) / blockSize; }
    static int gridRows(int height, int offsetY) { return (height + offsetY + blockSize - 1) / blockSize; }

    // The gains that lift every block of the Grayscale8 mean image to the
    // brightest block's level (the mean of its non-zero pixels).
    static ZelBlockShadingMap generate(const QImage& mean, int offsetX, int offsetY);

    // Text form: "columns; rows; " and one line of "gain; " per block row.
    QString toText() const;
    // Reads the text form; the map is replaced only when Loaded. A limit of
    // 0 columns or rows means no limit. Otherwise *reason, when given, says
    // what is wrong with the text.
    ParseResult parse(const QString& text, int maxColumns, int maxRows, QString* reason = nullptr);

    // 16-bit gains with 12 fraction bits, two per 32-bit word (first in the
    // upper half), each word little-endian or, when bigEndian, reversed.
    QByteArray pack(bool bigEndian) const;
    static quint16 gainCode(float gain);
};

#endif // ZELBLOCKSHADINGMAP_H
