#ifndef ZELLUTSELECTORENTRY_H
#define ZELLUTSELECTORENTRY_H

#include <QString>
#include <QVector>

// One table of a look-up table file: the selector entry it belongs to,
// whether the LUT is on, and the values by input index.
struct ZelLUTSelectorEntry {
    QString name;
    bool enable = false;
    QVector<double> values;
};

#endif // ZELLUTSELECTORENTRY_H
