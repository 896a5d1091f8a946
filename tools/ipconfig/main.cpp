#include "MainDialog.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Netvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.5.8.2518"));
    QCoreApplication::setOrganizationName(QStringLiteral("NORRIK-OMBREL GmbH"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("norrik-ombrel.com"));
    QApplication app(argc, argv);
    MainDialog dialog;
    dialog.show();
    return app.exec();
}
