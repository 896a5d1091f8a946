// The viewer's settings and producers of one test run: a home folder of its
// own and the simulated producers of the build.
#ifndef VIEWERTESTHOME_H
#define VIEWERTESTHOME_H

#include "../core/tests/TestHome.h"
#include <QByteArray>
#include <QTemporaryDir>

class ViewerTestHome
{
public:
    ViewerTestHome()
    {
        useTestHome(m_home.path());
        qputenv("GENICAM_GENTL32_PATH", QByteArrayLiteral(SUITE_CTI_DIR));
        qputenv("NORRIK_SDK_BIN_32", QByteArrayLiteral(SUITE_BIN_DIR));
    }
    QString path() const { return m_home.path(); }

private:
    QTemporaryDir m_home;
};

#endif // VIEWERTESTHOME_H
