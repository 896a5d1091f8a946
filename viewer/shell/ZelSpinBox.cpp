#include "ZelSpinBox.h"

#include "ZelBalloonTip.h"

ZelSpinBox::ZelSpinBox(QWidget* parent)
    : QSpinBox(parent)
{
    connect(this, SIGNAL(editingFinished()), this, SLOT(_onEditingFinished()));
}

QString ZelSpinBox::stripAffixes(QString text, const QString& prefix, const QString& suffix)
{
    if (!suffix.isEmpty() && text.endsWith(suffix, Qt::CaseInsensitive))
        text.chop(suffix.size());
    if (!prefix.isEmpty() && text.startsWith(prefix, Qt::CaseInsensitive))
        text.remove(0, prefix.size());
    return text;
}

void ZelSpinBox::showRangeBalloon(const QWidget* box, const QString& minimum, const QString& maximum)
{
    const QString message = QStringLiteral("Minimum:%1").arg(minimum)
        + QStringLiteral(" Maximum:%1").arg(maximum);
    // The box's own mapping: it needs no parent widget.
    ZelBalloonTip::showBalloon(3, tr("Invalid Value"), message,
                               box->mapToGlobal(QPoint(5, box->height())), true);
}

QValidator::State ZelSpinBox::validate(QString& input, int& pos) const
{
    // The base class may add the prefix and suffix to the text it is given;
    // a refused text is judged as the operator typed it.
    const QString typed = input;
    const QValidator::State state = QSpinBox::validate(input, pos);
    if (state != QValidator::Invalid)
        return state;
    input = typed;
    const QString rest = stripAffixes(input, prefix(), suffix()).trimmed();
    bool ok = false;
    // Read wider than int, so that a number beyond the int range is also
    // taken and then corrected to the limit.
    rest.toLongLong(&ok, 10);
    if (ok || rest == QLatin1String("-"))
        return QValidator::Intermediate;
    return QValidator::Invalid;
}

void ZelSpinBox::fixup(QString& input) const
{
    const QString rest = stripAffixes(input, prefix(), suffix()).trimmed();
    bool ok = false;
    const qlonglong v = rest.toLongLong(&ok, 10);
    if (!ok) {
        input = prefix() + QString::number(value()) + suffix();
        m_outOfRange = false;
        return;
    }
    if (v > maximum()) {
        input = prefix() + QString::number(maximum()) + suffix();
        m_outOfRange = true;
    } else if (v < minimum()) {
        input = prefix() + QString::number(minimum()) + suffix();
        m_outOfRange = true;
    } else {
        m_outOfRange = false;
    }
}

void ZelSpinBox::_onEditingFinished()
{
    // The mark belongs to the edit just finished: a later edit that needs no
    // correction must not bring the balloon back.
    if (!m_outOfRange)
        return;
    m_outOfRange = false;
    showRangeBalloon(this, QString::number(minimum()), QString::number(maximum()));
}
