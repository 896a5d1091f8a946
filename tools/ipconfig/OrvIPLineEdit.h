// One octet field of the IPv4 editor: 0 to 255, and keys that move the
// focus to the neighbouring fields.
#ifndef ORVIPLINEEDIT_H
#define ORVIPLINEEDIT_H

#include <QLineEdit>

class OrvIPLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit OrvIPLineEdit(QWidget* parent = nullptr);

signals:
    void jumpForward();
    void jumpBackward();

public slots:
    void jumpIn();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_selectOnRelease = false;
    // The focus just jumped here: a blank or dot typed now is the separator
    // that belongs to the jump.
    bool m_separatorTaken = false;
};

#endif // ORVIPLINEEDIT_H
