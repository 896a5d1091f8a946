#pragma once

#include "ZelTLPreferredEntry.h"

#include <QDomDocument>
#include <QList>
#include <QString>

// The preferred producers: a built-in entry followed by those of
// "tl_preferred.xml", read once.
class ZelTLPreferredList
{
public:
    // The process-wide list on the viewer's configuration folder.
    static ZelTLPreferredList* instance();

    // A list on the "tl_preferred.xml" of the given folder; creates the file
    // without entries when it does not exist.
    explicit ZelTLPreferredList(const QString& configDir);

    QList<ZelTLPreferredEntry> entries() const { return m_entries; }
    QString filePath() const { return m_filePath; }

    static const char* fileName() { return "tl_preferred.xml"; }

private:
    void load();
    void parseDocument();

    QString m_filePath;
    QDomDocument m_doc;
    QList<ZelTLPreferredEntry> m_entries;
};
