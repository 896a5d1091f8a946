#ifndef ZELLUTSETTINGSFILE_H
#define ZELLUTSETTINGSFILE_H

#include "ZelLUTSelectorEntry.h"

#include <QDomDocument>
#include <QList>
#include <QString>

// A look-up table file: root "LUTSetting", one "LUTSelector" per table with
// one "LUTData" (index, value) per entry.
class ZelLUTSettingsFile
{
public:
    ZelLUTSettingsFile();

    // Appends the tables to the document and writes it; the old file stays
    // untouched when writing fails (reason in *errorString).
    bool save(const QString& fileName, const QList<ZelLUTSelectorEntry>& entries, QString* errorString = nullptr);
    // Appends the file's tables to entries; false, nothing appended, when the
    // file cannot be read, is not XML or its root is not "LUTSetting".
    bool load(const QString& fileName, QList<ZelLUTSelectorEntry>& entries);

    // Reads the first table of a file for a table of `rows` entries that
    // hold values from minValue to maxValue. The file is read as a stream,
    // only up to the end of that table, and the reading stops at the first
    // entry the table has no room for. False, with the reason in *reason,
    // when the file cannot be read, is not XML, has another root, holds no
    // table, more entries than `rows`, or a value that is not a whole number
    // in the range. With rows < 0 the entries are only checked for form, and
    // none is kept.
    static bool readFirstTable(const QString& fileName, int rows, qint64 minValue, qint64 maxValue,
                               ZelLUTSelectorEntry& entry, QString* reason);

    void appendSelector(const ZelLUTSelectorEntry& entry);
    void readSelectors(QList<ZelLUTSelectorEntry>& entries) const;

    // The value as the file writes it: nearest integer, halves away from 0.
    static qint32 roundedValue(double value);

private:
    QDomDocument m_document;
};

#endif // ZELLUTSETTINGSFILE_H
