#include "ZelFeatureTreeDelegate.h"

#include "ZelDoubleSliderBox.h"
#include "ZelDoubleSpinBox.h"
#include "ZelHexIntLineEdit.h"
#include "ZelSlider.h"
#include "ZelSliderBox.h"
#include "ZelUtil.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>

#include <climits>
#include <cmath>

namespace {

// Dynamic properties of the editors.
const char* const kHint = "Hint";
const char* const kClicked = "Clicked";
const char* const kSelectedIndex = "SelectedIndex";
// The value an editor showed when it was loaded: a commit of that same value
// is no edit and writes nothing.
const char* const kLoadedValue = "LoadedValue";

const QString& ipv4Pattern()
{
    static const QString octet = QStringLiteral("(?:[0-1]?[0-9]?[0-9]|2[0-4][0-9]|25[0-5])");
    static const QString pattern = QLatin1Char('^') + octet + QStringLiteral("\\.") + octet + QStringLiteral("\\.")
        + octet + QStringLiteral("\\.") + octet + QLatin1Char('$');
    return pattern;
}

bool isExposureTime(const QString& name)
{
    for (const char* known : {"ExposureTime", "ExposureTimeMin", "ExposureTimeMax"}) {
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

ZelFeatureTreeDelegate::ZelFeatureTreeDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

ZelFeatureTreeDelegate::~ZelFeatureTreeDelegate() = default;

ZelFeatureData ZelFeatureTreeDelegate::featureOf(const QModelIndex& index)
{
    const QVariant v = index.data(257);
    return v.canConvert<ZelFeatureData>() ? v.value<ZelFeatureData>() : ZelFeatureData();
}

bool ZelFeatureTreeDelegate::parseIPv4(const QString& text, quint32* address)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    quint32 result = 0;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return false;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        }
        const uint octet = part.toUInt(nullptr, 10);
        if (octet > 255)
            return false;
        result = (result << 8) | octet;
    }
    *address = result;
    return true;
}

bool ZelFeatureTreeDelegate::parseHexOrDecimal(const QString& text, bool hex, qlonglong* value)
{
    const QString digits = hex ? text.trimmed().mid(2) : text.trimmed();
    if (digits.isEmpty())
        return false;
    bool ok = false;
    const qulonglong v = digits.toULongLong(&ok, hex ? 16 : 10);
    if (!ok || v > qulonglong(LLONG_MAX))
        return false;
    *value = qlonglong(v);
    return true;
}

qint64 ZelFeatureTreeDelegate::snapToGrid(qint64 v, qint64 min, qint64 max, qint64 increment)
{
    if (increment <= 0 || v < min)
        return v;
    const qint64 offset = v - min;
    qint64 steps = offset / increment;
    if (offset % increment >= increment - increment / 2)
        ++steps;
    qint64 snapped = min + steps * increment;
    // A grid point above the maximum is not writable: the one below is.
    if (snapped > max && snapped - increment >= min)
        snapped -= increment;
    return snapped;
}

double ZelFeatureTreeDelegate::floatStep(const ORV_FEATURE_INFO& info)
{
    if (info.floatInc != 0)
        return info.floatInc;
    if (info.floatMax <= 10)
        return double(0.01f);
    if (ZelUtil::RecordText(info.unit).compare(QLatin1String("us"), Qt::CaseInsensitive) == 0)
        return 1.0;
    return double(0.1f);
}

void ZelFeatureTreeDelegate::limitsInside(double& min, double& max, int& decimals)
{
    if (!std::isfinite(min) || !std::isfinite(max) || min > max)
        return;
    for (int d = decimals; d <= 12; ++d) {
        const double scale = std::pow(10.0, d);
        double low = std::round(min * scale) / scale;
        if (low < min)
            low = (std::round(min * scale) + 1) / scale;
        double high = std::round(max * scale) / scale;
        if (high > max)
            high = (std::round(max * scale) - 1) / scale;
        if (low <= high) {
            min = low;
            max = high;
            decimals = d;
            return;
        }
    }
}

int ZelFeatureTreeDelegate::floatDecimals(const ORV_FEATURE_INFO& info)
{
    int decimals = qMax(2, int(info.displayPrecision));
    // The fewest decimals that hold the step (single-precision steps such
    // as 0.01f are not exact).
    const double step = std::fabs(floatStep(info));
    for (int d = 0; d <= 12 && std::isfinite(step) && step > 0; ++d) {
        const double scaled = step * std::pow(10.0, d);
        if (std::fabs(scaled - std::round(scaled)) < 1e-4 * scaled) {
            decimals = qMax(decimals, d);
            break;
        }
    }
    return qBound(0, decimals, 12);
}

QWidget* ZelFeatureTreeDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                              const QModelIndex& index) const
{
    const ZelFeatureData feature = featureOf(index);
    const ORV_FEATURE_INFO& info = feature.info;
    QWidget* editor = nullptr;
    switch (info.interfaceType) {
    case ORV_FEATURE_TYPE_INTEGER:
        if (info.representation == 5) {
            auto* edit = new QLineEdit(parent);
            edit->setValidator(new QRegularExpressionValidator(QRegularExpression(ipv4Pattern()), edit));
            edit->setReadOnly(false);
            edit->setClearButtonEnabled(true);
            editor = edit;
        } else if (info.representation == 4) {
            auto* edit = new ZelHexIntLineEdit(parent);
            edit->setReadOnly(false);
            edit->setClearButtonEnabled(true);
            editor = edit;
        } else {
            auto* box = new ZelSliderBox(parent, false);
            box->setKeyboardTracking(false);
            // The feature's whole range: 64-bit values open and are written as they are.
            box->setSingleStep(info.intInc > 0 ? info.intInc : 1);
            box->setSuffix(ZelUtil::RecordText(info.unit));
            box->setRange(info.intMin, info.intMax);
            connect(box, SIGNAL(valueChanged(qint64)), this, SLOT(commitOnly()));
            connect(box, SIGNAL(focusOut()), this, SLOT(commitAndCloseEditor()));
            editor = box;
        }
        break;
    case ORV_FEATURE_TYPE_COMMAND: {
        auto* button = new QPushButton(parent);
        button->setProperty(kHint, QStringLiteral("Button"));
        button->setText(ZelUtil::RecordText(info.displayName));
        button->setDefault(true);
        connect(button, SIGNAL(clicked()), this, SLOT(onButtonClicked()));
        editor = button;
        break;
    }
    case ORV_FEATURE_TYPE_FLOAT: {
        auto* box = new ZelDoubleSliderBox(parent, false);
        box->setKeyboardTracking(false);
        // Decimals first: the box rounds its range and value to them.
        int decimals = floatDecimals(info);
        double min = info.floatMin;
        double max = info.floatMax;
        limitsInside(min, max, decimals);
        box->spinBox()->setDecimals(decimals);
        box->setSingleStep(floatStep(info));
        if (isExposureTime(ZelUtil::RecordText(info.name)))
            box->setRange(min, max, 0, 99);
        else
            box->setRange(min, max);
        box->setSuffix(ZelUtil::RecordText(info.unit));
        connect(box, SIGNAL(valueChanged(double)), this, SLOT(onDoubleSpinValueChanged(double)));
        connect(box, SIGNAL(focusOut()), this, SLOT(commitAndCloseEditor()));
        editor = box;
        break;
    }
    case ORV_FEATURE_TYPE_STRING: {
        auto* edit = new QLineEdit(parent);
        if (info.maxLength > 0)
            edit->setMaxLength(info.maxLength);
        edit->setReadOnly(false);
        edit->setClearButtonEnabled(true);
        editor = edit;
        break;
    }
    case ORV_FEATURE_TYPE_ENUMERATION: {
        auto* combo = new QComboBox(parent);
        combo->setFrame(false);
        combo->setEditable(false);
        combo->addItems(feature.entries);
        combo->setProperty(kSelectedIndex, info.enumIndex);
        connect(combo, SIGNAL(currentIndexChanged(int)), this, SLOT(commitOnly()));
        editor = combo;
        break;
    }
    default:
        return nullptr;
    }
    editor->setFocusPolicy(Qt::StrongFocus);
    return editor;
}

void ZelFeatureTreeDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    const ZelFeatureData feature = featureOf(index);
    const ORV_FEATURE_INFO& info = feature.info;
    // Loading shows the camera's value; it is no edit and commits nothing.
    const QSignalBlocker block(editor);
    switch (info.interfaceType) {
    case ORV_FEATURE_TYPE_INTEGER:
        if (info.representation == 5 || info.representation == 4) {
            if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
                edit->setText(index.data(Qt::DisplayRole).toString());
                edit->setProperty(kLoadedValue, edit->text());
            }
        } else if (auto* box = qobject_cast<ZelSliderBox*>(editor)) {
            box->setValue(feature.value.toLongLong());
            box->setProperty(kLoadedValue, box->value());
        }
        return;
    case ORV_FEATURE_TYPE_COMMAND:
        editor->setProperty(kClicked, false);
        return;
    case ORV_FEATURE_TYPE_FLOAT:
        if (auto* box = qobject_cast<ZelDoubleSliderBox*>(editor)) {
            box->setValue(feature.value.toDouble());
            box->setProperty(kLoadedValue, box->value());
        }
        return;
    case ORV_FEATURE_TYPE_STRING:
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            const QString text = index.data(Qt::DisplayRole).toString();
            // A value longer than the limit is shown whole: cut, it would be
            // written back cut when the editor closes.
            if (edit->maxLength() < text.size())
                edit->setMaxLength(text.size());
            edit->setText(text);
            edit->setProperty(kLoadedValue, edit->text());
        }
        return;
    case ORV_FEATURE_TYPE_ENUMERATION:
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            const int position = feature.value.isValid() ? feature.value.toInt() : -1;
            combo->setCurrentIndex(position >= 0 && position < combo->count() ? position : -1);
            combo->setProperty(kSelectedIndex, combo->currentIndex());
        }
        return;
    default:
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
}

void ZelFeatureTreeDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    const ZelFeatureData feature = featureOf(index);
    const ORV_FEATURE_INFO& info = feature.info;
    // A line edit that still shows what it was loaded with holds no edit.
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        const QVariant loaded = edit->property(kLoadedValue);
        if (loaded.isValid() && loaded.toString() == edit->text())
            return;
    }
    QVariant value;
    switch (info.interfaceType) {
    case ORV_FEATURE_TYPE_INTEGER:
        if (info.representation == 5) {
            auto* edit = qobject_cast<QLineEdit*>(editor);
            quint32 address = 0;
            if (!edit || !parseIPv4(edit->text(), &address))
                return;
            value = qlonglong(address);
        } else if (info.representation == 4) {
            auto* edit = qobject_cast<ZelHexIntLineEdit*>(editor);
            qlonglong v = 0;
            if (!edit || !parseHexOrDecimal(edit->text(), edit->isHex(), &v))
                return;
            value = v;
        } else {
            auto* box = qobject_cast<ZelSliderBox*>(editor);
            if (!box)
                return;
            const QVariant loaded = box->property(kLoadedValue);
            // Unless the operator changed the value, the camera keeps its own.
            if (loaded.isValid() && loaded.toLongLong() == box->value())
                return;
            value = qlonglong(snapToGrid(box->value(), info.intMin, info.intMax, info.intInc));
        }
        break;
    case ORV_FEATURE_TYPE_COMMAND:
        if (!editor->property(kClicked).toBool())
            return;
        // One click, one execution: a later commit (focus out) does not
        // run the command again, whatever the first one gave.
        editor->setProperty(kClicked, false);
        value = true;
        break;
    case ORV_FEATURE_TYPE_FLOAT: {
        auto* box = qobject_cast<ZelDoubleSliderBox*>(editor);
        if (!box)
            return;
        const QVariant loaded = box->property(kLoadedValue);
        if (loaded.isValid() && loaded.toDouble() == box->value())
            return;
        value = box->value();
        break;
    }
    case ORV_FEATURE_TYPE_STRING: {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        if (!edit)
            return;
        value = edit->text();
        break;
    }
    case ORV_FEATURE_TYPE_ENUMERATION: {
        auto* combo = qobject_cast<QComboBox*>(editor);
        if (!combo || combo->currentIndex() < 0 || combo->currentIndex() == combo->property(kSelectedIndex).toInt())
            return;
        combo->setProperty(kSelectedIndex, combo->currentIndex());
        value = combo->currentIndex();
        break;
    }
    default:
        return;
    }
    model->setData(index, value, Qt::EditRole);
}

void ZelFeatureTreeDelegate::commitOnly()
{
    emit commitData(qobject_cast<QWidget*>(sender()));
}

void ZelFeatureTreeDelegate::commitAndCloseEditor()
{
    auto* editor = qobject_cast<QWidget*>(sender());
    emit commitData(editor);
    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void ZelFeatureTreeDelegate::onButtonClicked()
{
    QObject* button = sender();
    if (button)
        button->setProperty(kClicked, true);
    emit commitData(qobject_cast<QWidget*>(button));
}

void ZelFeatureTreeDelegate::onSpinValueChanged(int)
{
    emit commitData(qobject_cast<QWidget*>(sender()));
}

void ZelFeatureTreeDelegate::onDoubleSpinValueChanged(double)
{
    emit commitData(qobject_cast<QWidget*>(sender()));
}

bool ZelFeatureTreeDelegate::eventFilter(QObject* object, QEvent* event)
{
    if (object->property(kHint).toString() == QLatin1String("Button") && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (auto* button = qobject_cast<QPushButton*>(object))
                button->animateClick(100);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

QSize ZelFeatureTreeDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(18);
    return size;
}

void ZelFeatureTreeDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                  const QModelIndex&) const
{
    editor->setGeometry(option.rect);
}
