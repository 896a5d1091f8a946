#include "ZelSearchLineEdit.h"

#include <QStyle>
#include <QToolButton>

#include <algorithm>

ZelSearchLineEdit::ZelSearchLineEdit(QWidget* parent)
    : QLineEdit(parent)
    , m_button(new QToolButton(this))
{
    m_button->setFixedSize(18, 18);
    m_button->setCursor(Qt::ArrowCursor);
    connect(this, SIGNAL(textChanged(QString)), this, SLOT(updateSearchButton(QString)));
    connect(m_button, SIGNAL(clicked()), this, SLOT(_onButtonClicked()));
    setPlaceholderText(tr("Search"));
    updateSearchButton(text());

    const int fw = frameWidth();
    const QSize own = minimumSizeHint();
    const QSize button = m_button->sizeHint();
    setMinimumSize(std::max(own.width(), button.width() + 2 * fw + 2),
                   std::max(own.height(), button.height() + 2 * fw + 2));
}

int ZelSearchLineEdit::frameWidth() const
{
    return style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
}

void ZelSearchLineEdit::updateSearchButton(const QString& text)
{
    const bool empty = text.isEmpty();
    const QString icons = QStringLiteral(":/res/icon/customcontrols/");

    QString edit = QStringLiteral("QLineEdit {");
    if (empty)
        edit += QStringLiteral("font-family: 'MS Sans Serif';") + QStringLiteral("font-style: italic;");
    edit += QStringLiteral("padding-left: 3px;")
        + QStringLiteral("padding-right: %1px;").arg(m_button->sizeHint().width() + frameWidth() + 1)
        + QStringLiteral("border-width: 3px;")
        + QStringLiteral("border-image: url(%1search_line_edit_border.png) 3 3 3 3 stretch;").arg(icons)
        + QStringLiteral("background-color: rgba(255, 255, 255, 204);")
        + QStringLiteral("}")
        + QStringLiteral("QLineEdit:hover, QLineEdit:focus {")
        + QStringLiteral("background-color: rgba(255, 255, 255, 255);")
        + QStringLiteral("}");

    QString button = QStringLiteral("QToolButton {")
        + QStringLiteral("border: none; margin: 0; padding: 0;")
        + QStringLiteral("background-image: url(%1search_line_edit_%2.png);")
              .arg(icons, empty ? QStringLiteral("search") : QStringLiteral("clear"))
        + QStringLiteral("}");
    if (!empty) {
        button += QStringLiteral("QToolButton:hover { background-image: url(%1search_line_edit_hover.png); }").arg(icons)
            + QStringLiteral("QToolButton:pressed { background-image: url(%1search_line_edit_active.png); }").arg(icons);
    }

    setStyleSheet(edit);
    m_button->setStyleSheet(button);
}

void ZelSearchLineEdit::_onButtonClicked()
{
    // The button clears only while there is text; empty, it is the search image.
    if (!text().isEmpty())
        clear();
}

void ZelSearchLineEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    const QRect r = rect();
    m_button->move(r.right() - frameWidth() - m_button->width() - 2,
                   (r.bottom() + 2 - m_button->height()) / 2);
}
