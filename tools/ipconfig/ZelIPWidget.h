// Dotted IPv4 address editor: four octet fields and three fixed dots.
#ifndef ZELIPWIDGET_H
#define ZELIPWIDGET_H

#include <QFrame>
#include <QList>
#include <QString>

#include <cstdint>

class OrvIPLineEdit;

class ZelIPWidget : public QFrame
{
    Q_OBJECT
public:
    explicit ZelIPWidget(QWidget* parent = nullptr);

    // The four values joined by "."; a field that holds no number counts as 0.
    QString text() const;
    // Four dotted parts fill the four fields as they stand; any other count
    // changes nothing.
    void setText(const QString& text);
    // The address when every field holds a number from 0 to 255; false
    // (value untouched) when a field is empty.
    bool address(uint32_t* value) const;

    const QList<OrvIPLineEdit*>& fields() const { return m_fields; }

private:
    QList<OrvIPLineEdit*> m_fields;
};

#endif // ZELIPWIDGET_H
