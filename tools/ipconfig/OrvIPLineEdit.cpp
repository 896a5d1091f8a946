#include "OrvIPLineEdit.h"

#include <QIntValidator>
#include <QKeyEvent>

namespace {

// Qt's integer validator lets a number above the top be typed as
// intermediate input; an octet field refuses it at once.
class OctetValidator : public QIntValidator
{
public:
    explicit OctetValidator(QObject* parent) : QIntValidator(0, 255, parent) {}
    State validate(QString& input, int& pos) const override
    {
        State state = QIntValidator::validate(input, pos);
        if (state == Intermediate && !input.isEmpty())
            return Invalid;
        return state;
    }
};

} // namespace

OrvIPLineEdit::OrvIPLineEdit(QWidget* parent) : QLineEdit(parent)
{
    setValidator(new OctetValidator(this));
    setMaxLength(3);
}

void OrvIPLineEdit::jumpIn()
{
    setFocus();
    m_selectOnRelease = false;
    selectAll();
}

void OrvIPLineEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const int position = cursorPosition();
    if (key == Qt::Key_Space || key == Qt::Key_Period) {
        // A blank or dot in a field still empty is the separator the third
        // digit of the previous field already made: it does not skip this
        // field.
        if (!text().isEmpty())
            emit jumpForward();
        event->accept();
        return;
    }
    if (position == 0 && (key == Qt::Key_Left || key == Qt::Key_Backspace)) {
        emit jumpBackward();
        event->accept();
        return;
    }
    if (position == text().length() && key == Qt::Key_Right) {
        emit jumpForward();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
    if (cursorPosition() == 3 && key != Qt::Key_Right)
        emit jumpForward();
}

void OrvIPLineEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    m_selectOnRelease = true;
}

void OrvIPLineEdit::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_selectOnRelease) {
        event->ignore();
        return;
    }
    m_selectOnRelease = false;
    selectAll();
    QLineEdit::mouseReleaseEvent(event);
}
