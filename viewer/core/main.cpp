// The viewer's entry point.

#include "ZelMainWindow.h"
#include "ZelSoftwarePollingItemInfo.h"
#include "ZelStartup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    ZelStartup::prepareApplication(nullptr, registerSoftwarePollingItemInfo);
    int result = -1;
    {
        QApplication application(argc, argv);
        QApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
        ZelMainWindow window;
        if (window.init(QApplication::arguments())) {
            window.showMaximized();
            result = QApplication::exec();
        }
    }
    return result;
}
