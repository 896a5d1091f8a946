#pragma once

#include "ZelTLSettingEntry.h"

#include <QDomDocument>
#include <QList>
#include <QString>

class QIODevice;
class ZelTLPreferredList;
struct ORV_TL_INFO;

// The operator's producer selection, "tl_settings.xml": an additional
// producer search path and one entry per producer file.
class ZelTLSettingsFile
{
public:
    // The process-wide store on the viewer's configuration folder.
    static ZelTLSettingsFile* instance();

    // A store on the "tl_settings.xml" of the given folder. When the file is
    // missing or invalid the default selection is built from the producers
    // found; preferred (the process-wide list when null) enables producers of
    // other vendors in it.
    explicit ZelTLSettingsFile(const QString& configDir, const ZelTLPreferredList* preferred = nullptr);

    // Appends the file's entries to tlEntries; false, with both outputs
    // unchanged, when the file cannot be opened or is invalid.
    bool read(QString& searchPath, QList<ZelTLSettingEntry>& tlEntries);
    // Writes the file anew; false when it cannot be written.
    bool save(const QString& searchPath, const QList<ZelTLSettingEntry>& tlEntries);

    QString filePath() const { return m_filePath; }

    // How the entries meet the producers that the SDK reports: a producer is
    // used when its full path equals the path of an enabled entry.
    static bool isEnabled(const QList<ZelTLSettingEntry>& tlEntries, const ORV_TL_INFO& tl);
    // The entry that names a reported producer: its file name and full path.
    static ZelTLSettingEntry entryFor(const ORV_TL_INFO& tl, bool enabled);

    static const char* fileName() { return "tl_settings.xml"; }

    // Writes a document as UTF-8 with an indentation of 4, atomically (a
    // failed write leaves the previous file whole), creating the folder and
    // its parents when missing.
    static bool writeDocument(const QString& filePath, const QDomDocument& doc);
    // The XML Schema and Schema-instance namespace attributes of both roots.
    static void addSchemaAttributes(QDomElement& root);

private:
    bool writeFile(const QString& filePath, const QString& searchPath,
                   const QList<ZelTLSettingEntry>& tlEntries);
    void createDefault();
    void parseDocument(QString& searchPath, QList<ZelTLSettingEntry>& tlEntries) const;
    void fillDocument(const QString& searchPath, const QList<ZelTLSettingEntry>& tlEntries);
    bool checkContent(QIODevice* device, bool checkOnly);

    QString m_filePath;
    const ZelTLPreferredList* m_preferred;
    QDomDocument m_doc;
};
