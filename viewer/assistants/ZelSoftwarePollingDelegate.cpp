#include "ZelSoftwarePollingDelegate.h"

#include "ZelSoftwarePollingItemInfo.h"
#include "ZelSoftwarePollingModel.h"

#include <QSpinBox>

QWidget* ZelSoftwarePollingDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                                  const QModelIndex& index) const
{
    if (index.column() != ZelSoftwarePollingModel::PollTimeColumn)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto* editor = new QSpinBox(parent);
    editor->setFrame(false);
    editor->setKeyboardTracking(false);
    editor->setSingleStep(10);
    // The same range as the add dialog, so that editing never cuts a value.
    editor->setRange(kMinPollTime, kMaxPollTime);
    connect(editor, &QSpinBox::editingFinished, this, &ZelSoftwarePollingDelegate::commitAndCloseEditor);
    return editor;
}

void ZelSoftwarePollingDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* spinBox = qobject_cast<QSpinBox*>(editor))
        spinBox->setValue(index.data(Qt::DisplayRole).toInt());
}

void ZelSoftwarePollingDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                              const QModelIndex& index) const
{
    if (auto* spinBox = qobject_cast<QSpinBox*>(editor)) {
        spinBox->interpretText();
        model->setData(index, spinBox->value(), Qt::EditRole);
    }
}

void ZelSoftwarePollingDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                      const QModelIndex&) const
{
    editor->setGeometry(option.rect);
}

QSize ZelSoftwarePollingDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return QStyledItemDelegate::sizeHint(option, index);
}

void ZelSoftwarePollingDelegate::commitAndCloseEditor()
{
    if (auto* editor = qobject_cast<QWidget*>(sender())) {
        emit commitData(editor);
        emit closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}
