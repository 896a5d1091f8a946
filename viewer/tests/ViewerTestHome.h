// The viewer's settings and producers of one test run: a home folder of its
// own and the simulated producers of the build.
#ifndef VIEWERTESTHOME_H
#define VIEWERTESTHOME_H

#include <QByteArray>
#include <QTemporaryDir>

class ViewerTestHome
{
public:
    ViewerTestHome()
    {
        qputenv("HOME", m_home.path().toUtf8());
        qunsetenv("XDG_CONFIG_HOME");
        qputenv("GENICAM_GENTL32_PATH", QByteArrayLiteral(SUITE_CTI_DIR));
        qputenv("NORRIK_SDK_BIN_32", QByteArrayLiteral(SUITE_BIN_DIR));
    }
    QString path() const { return m_home.path(); }

private:
    QTemporaryDir m_home;
};

#endif // VIEWERTESTHOME_H
