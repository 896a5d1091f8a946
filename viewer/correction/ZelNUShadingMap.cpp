#include "ZelNUShadingMap.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

void ZelNUShadingMap::clear()
{
    width = height = 0;
    std::vector<float>().swap(offsets);
    std::vector<float>().swap(gains);
}

bool ZelNUShadingMap::save(const QString& path) const
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly))
        return false;
    if (isEmpty())
        return false;
    const size_t pixels = size_t(width) * size_t(height);
    QByteArray bytes;
    bytes.resize(int(8 + 8 * pixels));
    uchar* out = reinterpret_cast<uchar*>(bytes.data());
    qToLittleEndian(qint32(width), out);
    qToLittleEndian(qint32(height), out + 4);
    for (size_t i = 0; i < pixels; ++i) {
        qToLittleEndian(offsets[i], out + 8 + 8 * i);
        qToLittleEndian(gains[i], out + 12 + 8 * i);
    }
    const bool written = file.write(bytes) == bytes.size();
    return file.flush() && written && file.error() == QFileDevice::NoError;
}

ZelNUShadingMap::LoadResult ZelNUShadingMap::load(const QString& path, QString* reason)
{
    const auto fail = [reason](LoadResult result, const QString& why) {
        if (reason)
            *reason = why;
        return result;
    };
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return fail(LoadResult::OpenFailed, QStringLiteral("The file cannot be opened: %1").arg(file.errorString()));
    uchar header[8];
    if (file.read(reinterpret_cast<char*>(header), 8) != 8)
        return fail(LoadResult::BadHeader, QStringLiteral("The file holds %1 bytes; a map begins with 8 bytes of "
                                                          "width and height.")
                                               .arg(file.size()));
    const qint32 w = qFromLittleEndian<qint32>(header);
    const qint32 h = qFromLittleEndian<qint32>(header + 4);
    const QString size = QStringLiteral("%1 × %2 pixels").arg(w).arg(h);
    if (w < 1 || h < 1)
        return fail(LoadResult::BadHeader, QStringLiteral("The header gives %1; a map has at least 1 × 1.").arg(size));
    const quint64 pixels = quint64(w) * quint64(h);
    if (pixels > quint64(std::numeric_limits<int>::max()) / 8)
        return fail(LoadResult::BadHeader, QStringLiteral("The header gives %1, more than a map can hold.").arg(size));
    const QString truncated = QStringLiteral("The header gives %1, which take %2 bytes; the file holds %3.")
                                  .arg(size)
                                  .arg(8 + 8 * pixels)
                                  .arg(file.size());
    if (quint64(file.size()) < 8 + 8 * pixels)
        return fail(LoadResult::Truncated, truncated);
    ZelNUShadingMap map;
    QByteArray body;
    try {
        map.offsets.resize(size_t(pixels));
        map.gains.resize(size_t(pixels));
        body = file.read(qint64(8 * pixels));
    } catch (const std::bad_alloc&) {
        return fail(LoadResult::OutOfMemory, QStringLiteral("There is not enough memory for %1.").arg(size));
    }
    if (quint64(body.size()) != 8 * pixels)
        return fail(LoadResult::Truncated, truncated);
    const uchar* in = reinterpret_cast<const uchar*>(body.constData());
    for (size_t i = 0; i < size_t(pixels); ++i) {
        const float offset = qFromLittleEndian<float>(in + 8 * i);
        const float gain = qFromLittleEndian<float>(in + 8 * i + 4);
        if (!std::isfinite(offset) || !std::isfinite(gain))
            return fail(LoadResult::NotFinite,
                        QStringLiteral("Pixel %1 (column %2, row %3) holds a value that is not a finite number.")
                            .arg(i)
                            .arg(i % size_t(w))
                            .arg(i / size_t(w)));
        map.offsets[i] = offset;
        map.gains[i] = gain;
    }
    map.width = w;
    map.height = h;
    *this = std::move(map);
    return LoadResult::Loaded;
}

quint16 ZelNUShadingMap::word(float offset, float gain)
{
    const float offsetCode = std::min(std::max(std::trunc(offset * 4.0f), 0.0f), 63.0f);
    const double gainCode = std::min(std::max(std::trunc((double(gain) - 1.0) * 1024.0), 0.0), 1023.0);
    return quint16(quint16(offsetCode) << 10 | quint16(gainCode));
}

QByteArray ZelNUShadingMap::pack(bool bigEndian) const
{
    const size_t pixels = std::min(offsets.size(), gains.size());
    QByteArray bytes(int(2 * pixels), '\0');
    uchar* out = reinterpret_cast<uchar*>(bytes.data());
    for (size_t i = 0; i < pixels; ++i) {
        const quint16 w = word(offsets[i], gains[i]);
        if (bigEndian)
            qToBigEndian(w, out + 2 * i);
        else
            qToLittleEndian(w, out + 2 * i);
    }
    return bytes;
}
