// The viewer's entry point.

#include "ZelMainWindow.h"
#include "ZelPixelHistogramData.h"
#include "ZelSoftwarePollingItemInfo.h"
#include "ZelStartup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    ZelStartup::prepareApplication(registerPixelHistogramData, registerSoftwarePollingItemInfo);
    int result = -1;
    {
        // High-DPI scaling is enabled before the application object exists,
        // where it takes effect.
        QApplication application(argc, argv);
        ZelMainWindow window;
        if (window.init(QApplication::arguments())) {
            window.showMaximized();
            result = QApplication::exec();
        }
    }
    return result;
}
