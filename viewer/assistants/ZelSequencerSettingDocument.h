#ifndef ZELSEQUENCERSETTINGDOCUMENT_H
#define ZELSEQUENCERSETTINGDOCUMENT_H

#include <QDomDocument>
#include <QList>
#include <QString>

class ZelSequencerItem;

// A ".seqsetting" file: the sequencer sets under a "SequencerSetting" root,
// one "SeqSelector" element per set. Saved with saveDomDocument.
class ZelSequencerSettingDocument : public QDomDocument
{
public:
    static constexpr int maxSets = 16;

    ZelSequencerSettingDocument();

    bool appendSet(const ZelSequencerItem* set);
    // Replaces the document by the file's and appends one new set per
    // "SeqSelector" to `sets` (owned by the caller). A file that fails any
    // check leaves this document and `sets` untouched.
    bool load(const QString& fileName, QList<ZelSequencerItem*>& sets);
    void readSets(QList<ZelSequencerItem*>& sets) const;

    // An element's text as a stored value of the named feature; false when
    // it lies outside the feature's range. Text that is no number is 0.
    static bool parseValue(const QString& featureName, const QString& text, qint64& value);

private:
    static QList<QDomElement> setElements(const QDomDocument& document);
};

#endif // ZELSEQUENCERSETTINGDOCUMENT_H
