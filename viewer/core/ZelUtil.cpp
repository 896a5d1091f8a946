#include "ZelUtil.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>
#include <mutex>

namespace {

const char* const logFileDatePattern = "MMddyyyy(hhmmss)";
const char* const defaultLogBaseName = "Kalveen";

struct TLType {
    const char* type;
    const char* displayName;
};

const TLType tlTypes[] = {
    {"GEV", "GigE Vision"},
    {"CL", "Camera Link"},
    {"IIDC", "IIDC 1394"},
    {"UVC", "USB Video Class"},
    {"CXP", "CoaXPress"},
    {"CLHS", "Camera Link HS"},
    {"U3V", "USB3 Vision"},
    {"Ethernet", "Generic Ethernet"},
    {"PCI", "PCI/PCIe"},
    {"Mixed", "Mixed"},
};

const TLType* findTLType(const QString& tlType)
{
    for (const TLType& entry : tlTypes) {
        if (tlType.compare(QLatin1String(entry.type), Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

} // namespace

QString ZelUtil::NormalizePath(const QString& path)
{
    QString normalized = path;
    normalized.replace(QLatin1String("\\\\"), QLatin1String("/"));
    normalized.replace(QLatin1Char('\\'), QLatin1Char('/'));
    normalized.replace(QLatin1String("//"), QLatin1String("/"));
    return normalized;
}

// File names are case-sensitive here, so the comparison is exact.
bool ZelUtil::EqualPath(QString first, QString second)
{
    return NormalizePath(first) == NormalizePath(second);
}

bool ZelUtil::FindFile(int index, const QString& searchPathList, const QString& nameFilter, QString& dirAndName,
                       QString& name)
{
    int count = 0;
    const QStringList entries = searchPathList.split(QLatin1Char(';'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    for (const QString& entry : entries) {
        // An empty entry would list the working directory.
        if (entry.isEmpty())
            continue;
        QDirIterator it(entry, QStringList(nameFilter), QDir::Files, QDirIterator::NoIteratorFlags);
        while (it.hasNext()) {
            it.next();
            if (count == index) {
                dirAndName = entry + QLatin1Char('/') + it.fileName();
                name = it.fileName();
                return true;
            }
            ++count;
        }
    }
    return false;
}

QString ZelUtil::GetGenTLSearchPath(const QString& additionalSearchPath)
{
    QString searchPath = QProcessEnvironment::systemEnvironment().value(QStringLiteral("GENICAM_GENTL32_PATH"));
    if (searchPath.isEmpty())
        searchPath = QCoreApplication::applicationDirPath() + QStringLiteral("/cti");
    if (!additionalSearchPath.isEmpty())
        searchPath += QLatin1Char(';') + additionalSearchPath;
    return searchPath;
}

bool ZelUtil::TestDirWritable(QString folder)
{
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isWritable())
        return false;

    QFile probe(folder + QStringLiteral("/Empty.txt"));
    if (probe.open(QIODevice::ReadWrite | QIODevice::NewOnly)) {
        probe.close();
        probe.remove();
        return true;
    }
    // A probe file that was already there is someone else's: test it, keep it.
    if (!probe.exists())
        return false;
    const bool writable = probe.open(QIODevice::ReadWrite | QIODevice::ExistingOnly);
    probe.close();
    return writable;
}

QString ZelUtil::FormatLogFileName(QString baseName, const QString& folder)
{
    // Names carry seconds only; the clock used for a name never repeats in
    // this process, and a name already taken in the folder is skipped, so a
    // second log file in one second does not overwrite the first.
    static std::mutex mutex;
    static QDateTime lastStamp;

    if (baseName.isEmpty())
        baseName = QLatin1String(defaultLogBaseName);

    std::lock_guard<std::mutex> lock(mutex);
    QDateTime stamp = QDateTime::currentDateTime();
    stamp = stamp.addMSecs(-stamp.time().msec());
    if (lastStamp.isValid() && stamp <= lastStamp)
        stamp = lastStamp.addSecs(1);

    QString name;
    for (;;) {
        name = baseName + QLatin1Char('_') + stamp.toString(QLatin1String(logFileDatePattern)) +
               QStringLiteral(".log");
        if (folder.isEmpty() || !QFileInfo::exists(folder + QLatin1Char('/') + name))
            break;
        stamp = stamp.addSecs(1);
    }
    lastStamp = stamp;
    return name;
}

namespace {

// The time in a log file name, or an invalid value for any other name.
QDateTime logFileTime(const QString& fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^Kalveen_(\\d{8})\\((\\d{6})\\)\\.log$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return QDateTime();
    const QDate date = QDate::fromString(match.captured(1), QStringLiteral("MMddyyyy"));
    const QTime time = QTime::fromString(match.captured(2), QStringLiteral("hhmmss"));
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

} // namespace

bool ZelUtil::IsLogFileName(const QString& fileName)
{
    return logFileTime(fileName).isValid();
}

void ZelUtil::ExpireLogFiles(const QString& folder, int keep)
{
    QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return;

    struct LogFile {
        QString name;
        QDateTime modified;
        QDateTime named;
    };
    QList<LogFile> logs;
    const QFileInfoList entries = dir.entryInfoList(QStringList(QStringLiteral("*.log")), QDir::Files);
    for (const QFileInfo& entry : entries) {
        const QDateTime named = logFileTime(entry.fileName());
        if (named.isValid())
            logs.append({entry.fileName(), entry.lastModified(), named});
    }
    // Oldest first; files of one modification time by the time in their name.
    std::stable_sort(logs.begin(), logs.end(), [](const LogFile& a, const LogFile& b) {
        if (a.modified != b.modified)
            return a.modified < b.modified;
        return a.named < b.named;
    });

    while (!logs.isEmpty() && logs.size() > keep - 1) {
        dir.remove(logs.first().name);
        logs.removeFirst();
    }
}

QString ZelUtil::GetEventName(int eventId)
{
    switch (eventId) {
    case 0x9000: return QStringLiteral("Sequence Done");
    case 0x9001: return QStringLiteral("Acquisition Error");
    case 0x9002: return QStringLiteral("Frame Transfer Start");
    case 0x9003: return QStringLiteral("Frame Transfer End");
    case 0x9004: return QStringLiteral("Frame Trigger");
    case 0x9005: return QStringLiteral("Frame Start");
    case 0x9006: return QStringLiteral("Frame End");
    case 0x9007: return QStringLiteral("Exposure Start");
    case 0x9008: return QStringLiteral("Exposure End");
    default: return QStringLiteral("Unknown");
    }
}

QString ZelUtil::GetStatusName(int bufferStatus)
{
    switch (bufferStatus) {
    case 0: return QStringLiteral("None");
    case 1: return QStringLiteral("Frame Completed");
    case 2: return QStringLiteral("Frame Abandoned");
    case 3: return QStringLiteral("Start of Transfer");
    case 4: return QStringLiteral("Bandwidth exceeded");
    case 7: return QStringLiteral("Frame Incomplete");
    default: return QStringLiteral("Unknown");
    }
}

QString ZelUtil::GetTLTypeName(const QString& tlType)
{
    const TLType* entry = findTLType(tlType);
    return entry ? QLatin1String(entry->displayName) : QStringLiteral("Custom");
}

bool ZelUtil::IsTLType(const QString& tlType)
{
    return findTLType(tlType) != nullptr;
}

int ZelUtil::GetRepresentation(QSettings* store, QString featureName)
{
    if (!store)
        return 7;
    const QVariant value = store->value(QStringLiteral("Feature.Representation/") + featureName);
    return value.isValid() ? value.toInt() : 7;
}

double ZelUtil::StringToDouble(const QString& text, bool* ok)
{
    bool read = false;
    double value = QLocale(QLocale::German, QLocale::AnyCountry).toDouble(text, &read);
    if (!read)
        value = QLocale(QLocale::English, QLocale::AnyCountry).toDouble(text, &read);
    if (ok)
        *ok = read;
    return read ? value : 0.0;
}
