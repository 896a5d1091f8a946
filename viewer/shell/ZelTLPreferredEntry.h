#pragma once

#include <QString>

// One preferred producer of another vendor.
struct ZelTLPreferredEntry
{
    QString vendor; // text that contains the vendor text of the producers it stands for
    QString tlName; // the producer's file name
};
