#pragma once

#include "OrvSdk.h"

#include <QList>
#include <QStandardItemModel>

// The producer tree of the transport-layer manager: one group per
// transport-layer type, one checkable item per producer.
class ZelTLTreeModel : public QStandardItemModel
{
    Q_OBJECT
public:
    static constexpr int RecordRole = Qt::UserRole + 1; // type text or ORV_TL_INFO
    static constexpr int PathRole = Qt::UserRole + 2;   // normalised full path

    explicit ZelTLTreeModel(const QList<ORV_TL_INFO>& tlList, QObject* parent = nullptr);
    ~ZelTLTreeModel() override;

private slots:
    void _onItemChanged(QStandardItem* item);

private:
    void buildTree(const QList<ORV_TL_INFO>& tlList);
    QStandardItem* appendItem(const QString& text, const QFont& font, Qt::ItemFlags flags,
                              QStandardItem* parent, const QVariant& data);
};
