#ifndef ZELUTIL_H
#define ZELUTIL_H

#include <QString>

#include <cstddef>

class QSettings;

// Stateless helpers shared by the whole viewer.
class ZelUtil
{
public:
    // Paths and files.
    static QString NormalizePath(const QString& path);
    static bool EqualPath(QString first, QString second);
    static bool FindFile(int index, const QString& searchPathList, const QString& nameFilter,
                         QString& dirAndName, QString& name);
    static QString GetGenTLSearchPath(const QString& additionalSearchPath);
    static bool TestDirWritable(QString folder);

    // Log files: "Kalveen_MMddyyyy(hhmmss).log".
    static QString FormatLogFileName(QString baseName, const QString& folder = QString());
    static bool IsLogFileName(const QString& fileName);
    static void ExpireLogFiles(const QString& folder, int keep);

    // Display names.
    static QString GetEventName(int eventId);
    static QString GetStatusName(int bufferStatus);
    static QString GetTLTypeName(const QString& tlType);
    static bool IsTLType(const QString& tlType);

    // A fixed-size text field of an SDK record as UTF-8, read up to its
    // terminator or its size, whichever comes first.
    template <size_t N>
    static QString RecordText(const char (&field)[N])
    {
        return QString::fromUtf8(field, int(qstrnlen(field, N)));
    }

    // A decimal number read with German rules first (decimal comma), English
    // rules second; 0.0 and false through ok when neither reads it.
    static double StringToDouble(const QString& text, bool* ok = nullptr);

    // Representation override of a feature; 7 (undefined) when there is none.
    static int GetRepresentation(QSettings* store, QString featureName);
};

#endif // ZELUTIL_H
