#ifndef ZELAPPSETTINGS_H
#define ZELAPPSETTINGS_H

#include <QString>
#include <QVariant>

#include <mutex>

class QSettings;

// The viewer's settings for the whole process: the folders on disk and the
// three INI stores "kalveen.ini", "ccprofiles.ini" and "deffmatch.ini".
class ZelAppSettings
{
public:
    static ZelAppSettings* instance();
    ~ZelAppSettings();

    ZelAppSettings(const ZelAppSettings&) = delete;
    ZelAppSettings& operator=(const ZelAppSettings&) = delete;

    // Safe to call from any thread.
    QVariant value(const QString& group, const QString& key, const QVariant& defaultValue = QVariant());
    void setValue(const QString& group, const QString& key, const QVariant& value);

    QSettings* settings = nullptr;
    QSettings* colorProfiles = nullptr;
    QSettings* defectMatches = nullptr;
    QString dataDir;
    QString imagesDir;
    QString logsDir;
    QString configDir;
    QString defectPixelCorrDir;
    QString shadingCorrDir;
    QString fileAccessDir;

    void writeDefaultColorProfiles();
    void writeDefaultDefectMatches();

private:
    friend class ZelAppSettingsTestAccess;

    ZelAppSettings();
    void writeDefaults();
    void repairSettings();
    bool isValidValue(const QString& key, QVariant value);
    QVariant repairValue(const QString& key) const;

    std::mutex m_mutex; // one group open at a time on `settings`
};

#endif // ZELAPPSETTINGS_H
