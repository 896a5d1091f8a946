#include "ZelAppSettings.h"

#include "ZelUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

namespace {

const char* const settingsKeys[] = {"LogEnabled", "DebugLevel", "DebugLevelOrvF", "FileLogging", "WinDbg",
                                    "FeatureVisibility", "LastUsedTLType", "SPEnabled", "AutoSaveCount",
                                    "AutoSaveFormat"};
const char* const directoryKeys[] = {"SaveImageDir", "LogFileDir", "SettingsFileDir", "SPSettingsFileDir",
                                     "SeqSettingsFileDir", "LutSettingsFileDir", "PDCSettingsFileDir",
                                     "SHCSettingsFileDir"};

QString makeFolder(const QString& path)
{
    if (!QFileInfo::exists(path))
        QDir().mkpath(path);
    return path;
}

// Values are judged by their text, as the file holds them: a negative number
// is no unsigned number, whatever type the value has in memory.
bool toUnsigned(const QVariant& value, qulonglong* number)
{
    bool ok = false;
    *number = value.toString().toULongLong(&ok);
    return ok;
}

} // namespace

ZelAppSettings* ZelAppSettings::instance()
{
    static ZelAppSettings object;
    return &object;
}

ZelAppSettings::ZelAppSettings()
{
    configDir = makeFolder(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/NORRIK-OMBREL GmbH/Kalveen"));
    dataDir = makeFolder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                         QStringLiteral("/Kalveen"));
    imagesDir = makeFolder(dataDir + QStringLiteral("/images"));
    logsDir = makeFolder(dataDir + QStringLiteral("/logs"));
    shadingCorrDir = makeFolder(dataDir + QStringLiteral("/ShadingCorr"));
    defectPixelCorrDir = makeFolder(dataDir + QStringLiteral("/DefectPixelCorr"));
    fileAccessDir = makeFolder(dataDir + QStringLiteral("/FileAccess"));

    settings = new QSettings(configDir + QStringLiteral("/kalveen.ini"), QSettings::IniFormat);
    if (QFileInfo::exists(settings->fileName()))
        repairSettings();
    else
        writeDefaults();

    colorProfiles = new QSettings(configDir + QStringLiteral("/ccprofiles.ini"), QSettings::IniFormat);
    if (!QFileInfo::exists(colorProfiles->fileName()))
        writeDefaultColorProfiles();

    defectMatches = new QSettings(configDir + QStringLiteral("/deffmatch.ini"), QSettings::IniFormat);
    if (!QFileInfo::exists(defectMatches->fileName()))
        writeDefaultDefectMatches();
}

ZelAppSettings::~ZelAppSettings()
{
    delete settings;
    delete colorProfiles;
    delete defectMatches;
}

QVariant ZelAppSettings::value(const QString& group, const QString& key, const QVariant& defaultValue)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    settings->beginGroup(group);
    const QVariant result = settings->value(key, defaultValue);
    settings->endGroup();
    return result;
}

void ZelAppSettings::setValue(const QString& group, const QString& key, const QVariant& value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    settings->beginGroup(group);
    settings->setValue(key, value);
    settings->endGroup();
}

void ZelAppSettings::writeDefaults()
{
    settings->beginGroup(QStringLiteral("MainWindow"));
    settings->setValue(QStringLiteral("OffsetX"), 0);
    settings->setValue(QStringLiteral("OffsetY"), 0);
    settings->setValue(QStringLiteral("Width"), 800);
    settings->setValue(QStringLiteral("Height"), 600);
    settings->endGroup();

    settings->beginGroup(QStringLiteral("Settings"));
    settings->setValue(QStringLiteral("LogEnabled"), 0);
    settings->setValue(QStringLiteral("DebugLevel"), 0);
    settings->setValue(QStringLiteral("DebugLevelOrvF"), 0);
    settings->setValue(QStringLiteral("FileLogging"), 0);
    settings->setValue(QStringLiteral("WinDbg"), 0);
    settings->setValue(QStringLiteral("FeatureVisibility"), 2);
    settings->setValue(QStringLiteral("LastUsedTLType"), QStringLiteral("GEV"));
    settings->setValue(QStringLiteral("SPEnabled"), 0);
    settings->setValue(QStringLiteral("AutoSaveCount"), 16);
    settings->setValue(QStringLiteral("AutoSaveFormat"), QStringLiteral("PNG"));
    settings->setValue(QStringLiteral("LastUsedCLPort"), QString(""));
    for (int i = 1; i <= 8; ++i)
        settings->setValue(QStringLiteral("LSGraph%1").arg(i), QString(""));
    settings->endGroup();

    settings->beginGroup(QStringLiteral("Directory"));
    settings->setValue(QStringLiteral("SaveImageDir"), dataDir);
    settings->setValue(QStringLiteral("LogFileDir"), logsDir);
    settings->setValue(QStringLiteral("SettingsFileDir"), dataDir);
    settings->setValue(QStringLiteral("SPSettingsFileDir"), dataDir);
    settings->setValue(QStringLiteral("SeqSettingsFileDir"), dataDir);
    settings->setValue(QStringLiteral("LutSettingsFileDir"), dataDir);
    settings->setValue(QStringLiteral("PDCSettingsFileDir"), dataDir);
    settings->setValue(QStringLiteral("SHCSettingsFileDir"), dataDir);
    settings->setValue(QStringLiteral("fileAccessFileDir"), dataDir);
    settings->endGroup();

    settings->sync();
}

QVariant ZelAppSettings::repairValue(const QString& key) const
{
    if (key == QLatin1String("LastUsedTLType"))
        return QStringLiteral("GEV");
    if (key == QLatin1String("AutoSaveCount"))
        return 16;
    if (key == QLatin1String("AutoSaveFormat"))
        return QStringLiteral("PNG");
    if (key == QLatin1String("LogFileDir"))
        return logsDir;
    if (key == QLatin1String("PDCSettingsFileDir"))
        return defectPixelCorrDir;
    if (key == QLatin1String("SHCSettingsFileDir"))
        return shadingCorrDir;
    if (key.endsWith(QLatin1String("Dir")))
        return dataDir;
    return 0; // the switches, the level masks and FeatureVisibility
}

void ZelAppSettings::repairSettings()
{
    const auto repairGroup = [this](const char* group, const auto& keys) {
        settings->beginGroup(QLatin1String(group));
        for (const char* name : keys) {
            const QString key = QLatin1String(name);
            if (!isValidValue(key, settings->value(key, QVariant())))
                settings->setValue(key, repairValue(key));
        }
        settings->endGroup();
    };
    repairGroup("Settings", settingsKeys);
    repairGroup("Directory", directoryKeys);
    settings->sync();
}

bool ZelAppSettings::isValidValue(const QString& key, QVariant value)
{
    if (!value.isValid())
        return false;

    if (key == QLatin1String("LogEnabled") || key == QLatin1String("SPEnabled") ||
        key == QLatin1String("DebugLevel") || key == QLatin1String("DebugLevelOrvF") ||
        key == QLatin1String("FileLogging") || key == QLatin1String("WinDbg")) {
        qulonglong number = 0;
        return toUnsigned(value, &number);
    }
    if (key == QLatin1String("FeatureVisibility")) {
        qulonglong level = 0;
        return toUnsigned(value, &level) && level <= 3;
    }
    if (key == QLatin1String("LastUsedTLType"))
        return ZelUtil::IsTLType(value.toString());
    if (key == QLatin1String("AutoSaveCount")) {
        bool ok = false;
        const int count = value.toString().toInt(&ok);
        return ok && count >= 1 && count <= 10000;
    }
    if (key == QLatin1String("AutoSaveFormat")) {
        const QString format = value.toString();
        return format.compare(QLatin1String("PNG"), Qt::CaseInsensitive) == 0 ||
               format.compare(QLatin1String("BMP"), Qt::CaseInsensitive) == 0 ||
               format.compare(QLatin1String("RAW"), Qt::CaseInsensitive) == 0;
    }
    for (const char* name : directoryKeys) {
        if (key == QLatin1String(name))
            return ZelUtil::TestDirWritable(value.toString());
    }
    return false;
}

namespace {

struct Patch {
    const char* colour;
    const char* weight;
};

const Patch colourChart[24] = {
    {"#745143", "0.2176"}, {"#c79381", "0.6475"}, {"#5b7a9c", "0.3846"}, {"#5a6c40", "0.2937"},
    {"#8280b0", "0.4757"}, {"#5cbeac", "0.7803"}, {"#e07c2f", "0.6027"}, {"#445baa", "0.2507"},
    {"#c65261", "0.3915"}, {"#5e3a6a", "0.1426"}, {"#9fbd3f", "0.7993"}, {"#e6a227", "0.7869"},
    {"#233f93", "0.1327"}, {"#43954a", "0.4616"}, {"#b43139", "0.2732"}, {"#eec614", "1.033"},
    {"#c15497", "0.3969"}, {"#0088aa", "0.3921"}, {"#f5f5f3", "1.415"},  {"#c8caca", "1.032"},
    {"#a1a3a3", "0.6992"}, {"#79797a", "0.4026"}, {"#525456", "0.1984"}, {"#313133", "0.06659"},
};

// Rows b, c and d of a 5 x 5 match pattern (x = -1) and its correction code;
// rows a and e are all -1.
struct DefectMatch {
    const char* b;
    const char* c;
    const char* d;
    int code;
};

const DefectMatch defectMatchTable[34] = {
    {"x000x", "x010x", "x000x", 111}, {"x000x", "x010x", "x100x", 111}, {"x001x", "x010x", "x000x", 111},
    {"x000x", "x010x", "x001x", 111}, {"x100x", "x010x", "x000x", 111}, {"x000x", "x011x", "x000x", 112},
    {"x000x", "x110x", "x000x", 112}, {"x000x", "x111x", "x000x", 112}, {"x000x", "x010x", "x010x", 111},
    {"x010x", "x010x", "x000x", 111}, {"x010x", "x010x", "x010x", 111}, {"xxxxx", "x010x", "xxxxx", 111},
    {"xx0xx", "xx1xx", "xx0xx", 112}, {"xx10x", "x110x", "x000x", 106}, {"x01xx", "x011x", "x000x", 108},
    {"x000x", "x011x", "x01xx", 102}, {"x000x", "x110x", "xx10x", 104}, {"xxxxx", "0011x", "xxxxx", 101},
    {"xxxxx", "x1100", "xxxxx", 105}, {"x010x", "x111x", "x111x", 102}, {"x111x", "x111x", "x010x", 108},
    {"x110x", "x111x", "x110x", 104}, {"x011x", "x111x", "x011x", 102}, {"x0xxx", "xx1xx", "xxxxx", 102},
    {"xx0xx", "xx1xx", "xxxxx", 103}, {"xxx0x", "xx1xx", "xxxxx", 104}, {"xxxxx", "xx10x", "xxxxx", 105},
    {"xxxxx", "xx1xx", "xxx0x", 106}, {"xxxxx", "xx1xx", "xx0xx", 107}, {"xxxxx", "xx1xx", "x0xxx", 108},
    {"xxxxx", "x01xx", "xxxxx", 101}, {"xxxxx", "01111", "xxxxx", 109}, {"xxxxx", "11110", "xxxxx", 110},
    {"xxxxx", "01110", "xxxxx", 113},
};

QStringList patternRow(const char* cells)
{
    QStringList row;
    for (const char* cell = cells; *cell; ++cell)
        row << (*cell == 'x' ? QStringLiteral("-1") : QString(QLatin1Char(*cell)));
    return row;
}

} // namespace

void ZelAppSettings::writeDefaultColorProfiles()
{
    colorProfiles->beginGroup(QStringLiteral("Profile SRGB"));
    for (int i = 0; i < 24; ++i)
        colorProfiles->setValue(QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')),
                                QStringList{QLatin1String(colourChart[i].colour), QStringLiteral("1")});
    colorProfiles->endGroup();

    colorProfiles->beginGroup(QStringLiteral("Profile SRGB Weighted"));
    for (int i = 0; i < 24; ++i)
        colorProfiles->setValue(QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')),
                                QStringList{QLatin1String(colourChart[i].colour), QLatin1String(colourChart[i].weight)});
    colorProfiles->endGroup();
    colorProfiles->sync();
}

void ZelAppSettings::writeDefaultDefectMatches()
{
    const QStringList border = patternRow("xxxxx");
    for (int i = 0; i < 34; ++i) {
        const DefectMatch& match = defectMatchTable[i];
        defectMatches->beginGroup(QStringLiteral("DefMatch%1").arg(i, 2, 10, QLatin1Char('0')));
        defectMatches->setValue(QStringLiteral("a"), border);
        defectMatches->setValue(QStringLiteral("b"), patternRow(match.b));
        defectMatches->setValue(QStringLiteral("c"), patternRow(match.c));
        defectMatches->setValue(QStringLiteral("d"), patternRow(match.d));
        defectMatches->setValue(QStringLiteral("e"), border);
        defectMatches->setValue(QStringLiteral("f"), match.code);
        defectMatches->endGroup();
    }
    defectMatches->sync();
}
