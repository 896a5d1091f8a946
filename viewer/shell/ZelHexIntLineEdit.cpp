#include "ZelHexIntLineEdit.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace {

// The pattern admits hexadecimal digits only; the value must also fit in
// 32 bits, which the eight hex digits always do but a decimal number may not.
class RangeCheckedValidator : public QRegularExpressionValidator
{
public:
    using QRegularExpressionValidator::QRegularExpressionValidator;

    State validate(QString& input, int& pos) const override
    {
        const State state = QRegularExpressionValidator::validate(input, pos);
        if (state != Acceptable)
            return state;
        bool ok = false;
        const bool hex = input.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
        const qulonglong v = hex ? input.mid(2).toULongLong(&ok, 16) : input.toULongLong(&ok, 10);
        return ok && v <= 0xFFFFFFFFull ? Acceptable : Invalid;
    }
};

} // namespace

ZelHexIntLineEdit::ZelHexIntLineEdit(QWidget* parent)
    : QLineEdit(parent)
{
    setValidator(new RangeCheckedValidator(
        QRegularExpression(QStringLiteral("^(?:0[xX][0-9A-Fa-f]{1,8}|[0-9]+)$")), this));
}

bool ZelHexIntLineEdit::isHex() const
{
    static const QRegularExpression pattern(QStringLiteral("0x[0-9a-f]{1,8}"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern.match(text()).hasMatch();
}
