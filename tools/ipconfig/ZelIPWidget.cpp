#include "ZelIPWidget.h"

#include "OrvIPLineEdit.h"

#include <QHBoxLayout>
#include <QStringList>

namespace {

const char* const kFieldStyle = "QLineEdit { border: 0px none; }";

// Margins, centring, style and frame shared by the fields and the dots.
void styleLikeField(QLineEdit* edit)
{
    edit->setContentsMargins(0, 0, 0, 0);
    edit->setAlignment(Qt::AlignCenter);
    edit->setStyleSheet(QLatin1String(kFieldStyle));
    edit->setFrame(false);
}

} // namespace

ZelIPWidget::ZelIPWidget(QWidget* parent) : QFrame(parent)
{
    setContentsMargins(0, 0, 0, 0);
    setStyleSheet(QStringLiteral("QFrame { background-color: white;  border: 1px solid white; } "));
    auto* layout = new QHBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 4; ++i)
        m_fields.append(new OrvIPLineEdit(this));
    for (int i = 0; i < m_fields.size(); ++i) {
        OrvIPLineEdit* field = m_fields[i];
        styleLikeField(field);
        field->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        layout->addWidget(field);
        if (i + 1 < m_fields.size()) {
            connect(field, &OrvIPLineEdit::jumpForward, m_fields[i + 1], &OrvIPLineEdit::jumpIn);
            auto* dot = new QLineEdit(QStringLiteral("."), this);
            dot->setReadOnly(true);
            styleLikeField(dot);
            dot->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
            dot->setMaximumWidth(10);
            dot->setFocusPolicy(Qt::NoFocus);
            layout->addWidget(dot);
        }
        if (i > 0)
            connect(field, &OrvIPLineEdit::jumpBackward, m_fields[i - 1], &OrvIPLineEdit::jumpIn);
    }
}

QString ZelIPWidget::text() const
{
    QStringList parts;
    for (const OrvIPLineEdit* field : m_fields)
        parts << QString::number(field->text().toInt(nullptr, 10));
    return parts.join(QLatin1Char('.'));
}

void ZelIPWidget::setText(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != m_fields.size())
        return;
    for (int i = 0; i < m_fields.size(); ++i)
        m_fields[i]->setText(parts[i]);
}

bool ZelIPWidget::address(uint32_t* value) const
{
    uint32_t result = 0;
    for (const OrvIPLineEdit* field : m_fields) {
        bool ok = false;
        int octet = field->text().toInt(&ok, 10);
        if (!ok || octet < 0 || octet > 255)
            return false;
        result = (result << 8) | uint32_t(octet);
    }
    *value = result;
    return true;
}
