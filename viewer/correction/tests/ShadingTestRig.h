// What the shading window tests share: a camera of the simulated SDK, a
// folder for images and map files, and readers of the camera's memory and
// call log.
#ifndef SHADINGTESTRIG_H
#define SHADINGTESTRIG_H

#include "../../core/tests/SimCameraSession.h"
#include "ShadingTestImages.h"

#include "ZelCamera.h"
#include "ZelDialogs.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QTest>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVector>

#include <functional>

namespace zeltest {

struct ShadingRig {
    SimCameraSession session;
    QTemporaryDir files;
    ZelCamera* camera = nullptr;
    QString deviceId;

    // A fresh world (with the cameras of a world file when one is given) and
    // the camera opened in it.
    bool open(const QString& id, const QString& producer = QStringLiteral("orv_gev_tl.cti"),
              const QByteArray& worldFile = QByteArray())
    {
        if (!session.start())
            return false;
        if (!worldFile.isEmpty() && run(QStringLiteral("world.load ") + textFile(QStringLiteral("world.json"), worldFile)) != 0)
            return false;
        deviceId = id;
        camera = session.open(id, producer);
        return camera && camera->remoteDeviceFeatures && camera->deviceFeatures;
    }
    void close()
    {
        session.stop();
        camera = nullptr;
    }
    int run(const QString& command, QString* reply = nullptr) { return session.run(command, reply); }

    // An 8-bit grey BMP (indexed on loading) with the value of each pixel.
    QString greyBmp(const QString& name, int w, int h, const std::function<int(int, int)>& value)
    {
        const QImage image = greyIndexed(w, h, value);
        const QString path = files.filePath(name);
        return image.save(path, "BMP") ? path : QString();
    }
    QString flatBmp(const QString& name, int w, int h, int value)
    {
        return greyBmp(name, w, h, [value](int, int) { return value; });
    }
    QString textFile(const QString& name, const QByteArray& content)
    {
        const QString path = files.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return QString();
        return path;
    }

    // A file name whose writes fail: the device that is always full.
    QString fullDevice(const QString& name)
    {
        const QString path = files.filePath(name);
        return QFile::link(QStringLiteral("/dev/full"), path) ? path : QString();
    }
    // Presses an entry as the operator does, which enables its Delete.
    static void press(QListWidget* list, int row)
    {
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    }

    // Camera memory as stored, in hex.
    QByteArray peek(quint32 address, int length)
    {
        QString reply;
        run(QStringLiteral("memory.peek %1 0x%2 %3").arg(deviceId).arg(address, 0, 16).arg(length), &reply);
        return reply.trimmed().remove(QLatin1Char(' ')).toLatin1().toLower();
    }
    qint64 feature(const char* name)
    {
        QString reply;
        run(QStringLiteral("state.get remote:%1 %2").arg(deviceId, QLatin1String(name)), &reply);
        const QRegularExpression value(QLatin1String(name) + QStringLiteral("=(-?\\d+)"));
        const QRegularExpressionMatch m = value.match(reply);
        return m.hasMatch() ? m.captured(1).toLongLong() : -1;
    }
    // The lines of the call log that name one of the functions.
    static QStringList callsOf(const QString& log, const QStringList& functions)
    {
        QStringList lines;
        for (const QString& line : log.split(QLatin1Char('\n'))) {
            for (const QString& f : functions) {
                if (line.trimmed().startsWith(f + QLatin1Char('(')))
                    lines << line.trimmed();
            }
        }
        return lines;
    }
};

// The requests of a script that are message boxes, as "title|text".
inline QStringList messages(const ZelDialogs::Script& script)
{
    QStringList out;
    for (const ZelDialogs::Request& r : script.requests()) {
        if (r.kind == ZelDialogs::Kind::Message)
            out << r.title + QLatin1Char('|') + r.text;
    }
    return out;
}

// Progress signals as "done:percent".
inline QStringList progress(const QSignalSpy& spy)
{
    QStringList out;
    for (const QList<QVariant>& args : spy)
        out << QStringLiteral("%1:%2").arg(args[0].toBool() ? 1 : 0).arg(args[1].toInt());
    return out;
}

} // namespace zeltest

#endif // SHADINGTESTRIG_H
