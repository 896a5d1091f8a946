#include "ZelTcpFeatureRouter.h"

#include "ZelTcpFeatureTarget.h"
#include "ZelTcpServerWidget.h"

#include <QDebug>
#include <QTcpSocket>

ZelTcpFeatureRouter::ZelTcpFeatureRouter(ZelTcpFeatureTarget* target, QObject* parent)
    : QObject(parent)
    , m_target(target)
{
}

void ZelTcpFeatureRouter::attach(ZelTcpServerWidget* server)
{
    connect(server, &ZelTcpServerWidget::newGetFature, this, &ZelTcpFeatureRouter::onGetFeatureValue);
    connect(server, &ZelTcpServerWidget::newSetFature, this, &ZelTcpFeatureRouter::onSetFeatureValue);
}

QString ZelTcpFeatureRouter::valueText(const QVariant& value)
{
    switch (int(value.type())) {
    case QVariant::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QVariant::Double:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::Float:
        return QString::number(double(value.toFloat()), 'g', QLocale::FloatingPointShortest);
    default:
        return value.toString();
    }
}

void ZelTcpFeatureRouter::reply(QTcpSocket* socket, const QString& text, bool onlyWhenOpen)
{
    if (!socket || (onlyWhenOpen && !socket->isOpen()))
        return;
    socket->write(text.toUtf8());
}

bool ZelTcpFeatureRouter::routeToCamera(QTcpSocket* socket, const QString& noWindowReply) const
{
    switch (m_target->route()) {
    case ZelTcpFeatureTarget::Route::NoWindow:
        reply(socket, noWindowReply, false);
        return false;
    case ZelTcpFeatureTarget::Route::Silent:
        qDebug() << "pPrevViewerWindow is null ";
        return false;
    case ZelTcpFeatureTarget::Route::Camera:
        break;
    }
    return true;
}

void ZelTcpFeatureRouter::onGetFeatureValue(QTcpSocket* socket, QString name)
{
    QString text = QStringLiteral("get;") + name + QLatin1Char(';');
    if (!routeToCamera(socket, text + QStringLiteral("0;2")))
        return;
    QVariant value;
    if (m_target->readFeature(name, value))
        text += valueText(value) + QStringLiteral(";0");
    else
        text += QStringLiteral("0;1");
    reply(socket, text, true);
}

void ZelTcpFeatureRouter::onSetFeatureValue(QTcpSocket* socket, QString name, QVariant value)
{
    const QString text = QStringLiteral("set;") + name + QLatin1Char(';') + value.toString();
    if (!routeToCamera(socket, text + QStringLiteral(";2")))
        return;
    const bool ok = m_target->writeFeature(name, value);
    reply(socket, text + (ok ? QStringLiteral(";0") : QStringLiteral(";1")), true);
}
