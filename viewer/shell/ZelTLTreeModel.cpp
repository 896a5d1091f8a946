#include "ZelTLTreeModel.h"

#include "ZelSdkMetaTypes.h"
#include "ZelUtil.h"

#include <QGuiApplication>

ZelTLTreeModel::ZelTLTreeModel(const QList<ORV_TL_INFO>& tlList, QObject* parent)
    : QStandardItemModel(parent)
{
    buildTree(tlList);
    // Connected only now, so that building does not change any font.
    connect(this, &QStandardItemModel::itemChanged, this, &ZelTLTreeModel::_onItemChanged);
}

ZelTLTreeModel::~ZelTLTreeModel() = default;

void ZelTLTreeModel::buildTree(const QList<ORV_TL_INFO>& tlList)
{
    QFont groupFont = QGuiApplication::font();
    groupFont.setPointSize(10);
    groupFont.setBold(true);
    QFont producerFont = QGuiApplication::font();
    producerFont.setBold(false);

    QList<QStandardItem*> groups;
    for (const ORV_TL_INFO& tl : tlList) {
        const QString type = ZelUtil::RecordText(tl.tlType);
        QStandardItem* group = nullptr;
        for (QStandardItem* g : groups) {
            if (g->data(RecordRole).toString().compare(type, Qt::CaseInsensitive) == 0) {
                group = g;
                break;
            }
        }
        if (!group) {
            group = appendItem(ZelUtil::GetTLTypeName(type), groupFont, Qt::ItemIsEnabled,
                               invisibleRootItem(), type);
            groups.append(group);
        }
        QStandardItem* item = appendItem(ZelUtil::RecordText(tl.displayName), producerFont,
                                         Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled,
                                         group, QVariant::fromValue(tl));
        item->setData(ZelUtil::NormalizePath(ZelUtil::RecordText(tl.fullPath)), PathRole);
    }
}

QStandardItem* ZelTLTreeModel::appendItem(const QString& text, const QFont& font, Qt::ItemFlags flags,
                                          QStandardItem* parent, const QVariant& data)
{
    auto* item = new QStandardItem(text);
    item->setFont(font);
    item->setCheckable(flags.testFlag(Qt::ItemIsUserCheckable));
    item->setData(data, RecordRole);
    item->setFlags(flags);
    parent->appendRow(item);
    return item;
}

void ZelTLTreeModel::_onItemChanged(QStandardItem* item)
{
    if (!item || item->hasChildren())
        return;
    const Qt::CheckState state = item->checkState();
    if (state == Qt::PartiallyChecked)
        return;
    QFont f = item->font();
    const bool on = state == Qt::Checked;
    if (f.bold() == on && f.italic() == on)
        return;
    f.setBold(on);
    f.setItalic(on);
    item->setFont(f);
}
