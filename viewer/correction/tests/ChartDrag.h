// Drags the colour chart over a chart scene as the mouse would: press,
// moves with the button held, release.
#ifndef CHARTDRAG_H
#define CHARTDRAG_H

#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QPointF>

namespace charttest {

inline void mouse(QGraphicsScene* scene, QEvent::Type type, QPointF at)
{
    QGraphicsSceneMouseEvent event(type);
    event.setScenePos(at);
    event.setButton(type == QEvent::GraphicsSceneMouseMove ? Qt::NoButton : Qt::LeftButton);
    event.setButtons(type == QEvent::GraphicsSceneMouseRelease ? Qt::NoButton : Qt::LeftButton);
    QApplication::sendEvent(scene, &event);
}

inline void drag(QGraphicsScene* scene, QPointF from, QPointF to)
{
    mouse(scene, QEvent::GraphicsSceneMousePress, from);
    mouse(scene, QEvent::GraphicsSceneMouseMove, (from + to) / 2);
    mouse(scene, QEvent::GraphicsSceneMouseMove, to);
    mouse(scene, QEvent::GraphicsSceneMouseRelease, to);
}

} // namespace charttest

#endif // CHARTDRAG_H
