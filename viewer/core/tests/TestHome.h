// Points this process's settings and data folders at a temporary home, so a
// test never reads or writes the user's own.
#ifndef TESTHOME_H
#define TESTHOME_H

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

inline void useTestHome(const QString& path)
{
    qputenv("HOME", path.toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DOCUMENTS_DIR");
}

// The same with a temporary folder as home; false when it could not be made.
inline bool useTestHome(const QTemporaryDir& home)
{
    if (!home.isValid())
        return false;
    useTestHome(home.path());
    return true;
}

#endif // TESTHOME_H
