#ifndef ZELNUSHADINGMAP_H
#define ZELNUSHADINGMAP_H

#include <QByteArray>
#include <QString>

#include <vector>

// A non-uniform shading map with its own size: an offset and a gain per
// pixel, row by row.
class ZelNUShadingMap
{
public:
    enum class LoadResult { Loaded, OpenFailed, BadHeader, Truncated, NotFinite, OutOfMemory };

    int width = 0;
    int height = 0;
    std::vector<float> offsets;
    std::vector<float> gains;

    bool isEmpty() const { return offsets.empty() || gains.empty(); }
    void clear();

    // Map file: width and height as 32-bit integers, then offset and gain of
    // every pixel as 32-bit floats, all little-endian. False when the file
    // cannot be opened or written completely.
    bool save(const QString& path) const;
    // The map is replaced only when Loaded; the file must hold every pixel.
    // Otherwise *reason, when given, says what is wrong with the file.
    LoadResult load(const QString& path, QString* reason = nullptr);

    // One 16-bit word per pixel: offset code in bits 15..10, gain code in
    // bits 9..0; little-endian or, when bigEndian, reversed.
    QByteArray pack(bool bigEndian) const;
    static quint16 word(float offset, float gain);
};

#endif // ZELNUSHADINGMAP_H
