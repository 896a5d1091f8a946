#ifndef ZELTCPFEATUREROUTER_H
#define ZELTCPFEATUREROUTER_H

#include <QObject>
#include <QString>
#include <QVariant>

class QTcpSocket;
class ZelTcpFeatureTarget;
class ZelTcpServerWidget;

// Answers the server's get and set requests from a feature target.
class ZelTcpFeatureRouter : public QObject
{
    Q_OBJECT

public:
    ZelTcpFeatureRouter(ZelTcpFeatureTarget* target, QObject* parent = nullptr);

    // Wires the server's requests to this router.
    void attach(ZelTcpServerWidget* server);

    // A feature value as the protocol writes it.
    static QString valueText(const QVariant& value);

public slots:
    void onGetFeatureValue(QTcpSocket* socket, QString name);
    void onSetFeatureValue(QTcpSocket* socket, QString name, QVariant value);

private:
    static void reply(QTcpSocket* socket, const QString& text, bool onlyWhenOpen);
    // True when a camera window takes the request; otherwise answers
    // noWindowReply when no window is open, or nothing.
    bool routeToCamera(QTcpSocket* socket, const QString& noWindowReply) const;

    ZelTcpFeatureTarget* m_target;
};

#endif // ZELTCPFEATUREROUTER_H
