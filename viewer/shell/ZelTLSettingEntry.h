#pragma once

#include <QString>

// One producer of "tl_settings.xml".
struct ZelTLSettingEntry
{
    QString name;         // the producer's file name
    QString path;         // the full path of the producer file
    bool enabled = false; // the producer is used
};
