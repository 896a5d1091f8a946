#ifndef ZELTCPFEATURETARGET_H
#define ZELTCPFEATURETARGET_H

#include <QString>
#include <QVariant>

// Where the TCP feature server's get and set requests land: the camera
// window that was activated last, seen through what the protocol needs.
class ZelTcpFeatureTarget
{
public:
    enum class Route {
        NoWindow, // no sub-window open: status 2
        Silent,   // the active sub-window is none, not a camera or read-only
        Camera    // a writable camera window answers
    };

    virtual ~ZelTcpFeatureTarget() = default;
    virtual Route route() const = 0;
    // Reads a feature of the active camera; false when the read failed.
    virtual bool readFeature(const QString& name, QVariant& value) = 0;
    // Writes a feature from its text; false (nothing written) when the text
    // does not convert or the write failed.
    virtual bool writeFeature(const QString& name, const QVariant& value) = 0;
};

#endif // ZELTCPFEATURETARGET_H
