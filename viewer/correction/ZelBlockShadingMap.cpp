#include "ZelBlockShadingMap.h"

#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <cmath>

ZelBlockShadingMap ZelBlockShadingMap::generate(const QImage& mean, int offsetX, int offsetY)
{
    ZelBlockShadingMap map;
    const int w = mean.width(), h = mean.height();
    map.columns = gridColumns(w, offsetX);
    map.rows = gridRows(h, offsetY);
    map.gains.assign(size_t(map.columns) * size_t(map.rows), 1.0f);
    double brightest = 0.0;
    for (int r = 0; r < map.rows; ++r) {
        const int y0 = std::max(0, r * blockSize - offsetY);
        const int y1 = std::min(h, r * blockSize - offsetY + blockSize);
        for (int c = 0; c < map.columns; ++c) {
            const int x0 = std::max(0, c * blockSize - offsetX);
            const int x1 = std::min(w, c * blockSize - offsetX + blockSize);
            double sum = 0.0;
            int lit = 0;
            for (int y = y0; y < y1; ++y) {
                const uchar* line = mean.constScanLine(y);
                for (int x = x0; x < x1; ++x) {
                    if (line[x] != 0) {
                        sum += line[x];
                        ++lit;
                    }
                }
            }
            const float value = lit > 0 ? float(sum / lit) : 1.0f;
            map.gains[size_t(r) * size_t(map.columns) + size_t(c)] = value;
            brightest = std::max(brightest, double(value));
        }
    }
    for (float& g : map.gains)
        g = float(brightest / (g != 0.0f ? g : 1.0f));
    return map;
}

QString ZelBlockShadingMap::toText() const
{
    QString text = QString::number(columns) + QStringLiteral("; ") + QString::number(rows) + QStringLiteral("; \n");
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            text += QString::number(gains[size_t(r) * size_t(columns) + size_t(c)], 'g', 6) + QStringLiteral("; ");
        text += QLatin1Char('\n');
    }
    return text;
}

ZelBlockShadingMap::ParseResult ZelBlockShadingMap::parse(const QString& input, int maxColumns, int maxRows,
                                                          QString* reason)
{
    const auto fail = [reason](ParseResult result, const QString& why) {
        if (reason)
            *reason = why;
        return result;
    };
    const QString text = input.left(int(std::min<qint64>(input.size(), maxTextLength))).trimmed();
    if (text.startsWith(QLatin1Char('#')))
        return fail(ParseResult::Comment, QStringLiteral("The text begins with \"#\"."));
    const QStringList fields = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (fields.size() < 3)
        return fail(ParseResult::TooFewFields,
                    text.isEmpty() ? QStringLiteral("The file is empty.")
                                   : QStringLiteral("The file holds %1 fields; a map holds its column and row counts "
                                                    "and at least one gain, separated by \";\".")
                                         .arg(fields.size()));
    bool colsOk = false, rowsOk = false;
    const int cols = fields[0].trimmed().toInt(&colsOk, 10);
    const int rws = fields[1].trimmed().toInt(&rowsOk, 10);
    if (!colsOk || !rowsOk || cols <= 0 || rws <= 0)
        return fail(ParseResult::BadCounts, QStringLiteral("The column and row counts \"%1\" and \"%2\" are not "
                                                           "both positive numbers.")
                                                .arg(fields[0].trimmed().left(20), fields[1].trimmed().left(20)));
    if (qint64(cols) * qint64(rws) != qint64(fields.size()) - 2)
        return fail(ParseResult::BadCounts, QStringLiteral("The map of %1 × %2 blocks needs %3 gains; the file "
                                                           "holds %4.")
                                                .arg(cols)
                                                .arg(rws)
                                                .arg(qint64(cols) * qint64(rws))
                                                .arg(fields.size() - 2));
    if ((maxColumns > 0 && cols > maxColumns) || (maxRows > 0 && rws > maxRows))
        return fail(ParseResult::TooLarge, QStringLiteral("The map has %1 × %2 blocks; the camera's grid has %3 × "
                                                          "%4.")
                                               .arg(cols)
                                               .arg(rws)
                                               .arg(maxColumns)
                                               .arg(maxRows));
    std::vector<float> values;
    values.reserve(size_t(fields.size() - 2));
    for (int i = 2; i < fields.size(); ++i) {
        bool ok = false;
        const float v = fields[i].trimmed().toFloat(&ok);
        if (!std::isfinite(v))
            return fail(ParseResult::NotFinite,
                        QStringLiteral("Gain %1 (\"%2\") is not a finite number.").arg(i - 1).arg(fields[i].trimmed()));
        values.push_back(ok ? v : 0.0f);
    }
    columns = cols;
    rows = rws;
    gains.swap(values);
    return ParseResult::Loaded;
}

quint16 ZelBlockShadingMap::gainCode(float gain)
{
    const double code = std::trunc(double(gain) * 4096.0);
    return quint16(std::clamp(code, 0.0, 65535.0));
}

QByteArray ZelBlockShadingMap::pack(bool bigEndian) const
{
    const size_t words = (gains.size() + 1) / 2;
    QByteArray bytes(int(words * 4), '\0');
    for (size_t i = 0; i < words; ++i) {
        const quint32 high = gainCode(gains[2 * i]);
        const quint32 low = 2 * i + 1 < gains.size() ? gainCode(gains[2 * i + 1]) : 0;
        const quint32 word = high << 16 | low;
        uchar* out = reinterpret_cast<uchar*>(bytes.data()) + 4 * i;
        if (bigEndian)
            qToBigEndian(word, out);
        else
            qToLittleEndian(word, out);
    }
    return bytes;
}
