#ifndef ZELSEQUENCERITEM_H
#define ZELSEQUENCERITEM_H

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

// One feature of one sequencer set.
struct ZelSequencerEntry {
    QString featureName;
    qint64 value = 0;
    qint64 minimum = 0;
    qint64 maximum = 0;
};

// One sequencer set: its entries in a fixed order, owned by the set.
class ZelSequencerItem : public QObject
{
    Q_OBJECT

public:
    explicit ZelSequencerItem(const QList<ZelSequencerEntry*>& entries, QObject* parent = nullptr);
    ~ZelSequencerItem() override;

    ZelSequencerEntry* find(const QString& featureName) const;
    bool value(const QString& featureName, qint64& value) const;
    bool minimum(const QString& featureName, qint64& minimum) const;
    // 100 for the duty cycles, 2147483647 for any other entry.
    bool maximum(const QString& featureName, qint64& maximum) const;
    bool setValue(const QString& featureName, qint64 value);
    bool setMinimum(const QString& featureName, qint64 minimum);
    bool setMaximum(const QString& featureName, qint64 maximum);
    bool entryAt(int index, ZelSequencerEntry& entry) const;
    int entryCount() const { return m_entries.size(); }

private:
    QList<ZelSequencerEntry*> m_entries;
};

Q_DECLARE_METATYPE(ZelSequencerItem*)

#endif // ZELSEQUENCERITEM_H
