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
    m_separatorTaken = true;
    selectAll();
}

void OrvIPLineEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const int position = cursorPosition();
    if (key == Qt::Key_Space || key == Qt::Key_Period) {
        // A blank or dot right after the focus jumped here, or in a field
        // still empty, is the separator the previous field already made (its
        // third digit moved on): it does not skip this field.
        if (!m_separatorTaken && !text().isEmpty())
            emit jumpForward();
        m_separatorTaken = false;
        event->accept();
        return;
    }
    m_separatorTaken = false;
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

void OrvIPLineEdit::focusOutEvent(QFocusEvent* event)
{
    m_separatorTaken = false;
    QLineEdit::focusOutEvent(event);
}

void OrvIPLineEdit::mouseReleaseEvent(QMouseEvent* event)
{
    m_separatorTaken = false;
    if (!m_selectOnRelease) {
        event->ignore();
        return;
    }
    m_selectOnRelease = false;
    selectAll();
    QLineEdit::mouseReleaseEvent(event);
}
