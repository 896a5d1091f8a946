#ifndef ZELUTIL_H
#define ZELUTIL_H

#include "OrvSdk.h"

#include <QString>
#include <QVariant>

#include <cstddef>
#include <cstdint>

class QCPAxis;
class QCPRange;
class QSettings;
class QWidget;

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

    // Feature values by interface type (ZelUtilFeatures.cpp). The flags go
    // unchanged to the SDK getters and setters. A feature that is not
    // available or not readable reads as an invalid value and true. A value
    // that does not convert to the feature's type is not written: false.
    // When failedCode is given it receives the code of the call that failed
    // (-1006 for a value that does not convert), 0 on success.
    static bool GetFeatureValue(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, QVariant& value,
                                bool passFlag1, bool passFlag2, int* failedCode = nullptr);
    static bool GetFeatureValue(ORV_MODULE_HANDLE module, const char* name, QVariant& value, bool passFlag1,
                                bool passFlag2);
    static bool SetFeatureValue(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, const QVariant& value,
                                bool passFlag, int* failedCode = nullptr);
    static bool SetFeatureValue(ORV_MODULE_HANDLE module, const char* name, const QVariant& value, bool passFlag);

    // Pixel formats (ZelUtilImage.cpp): low 32 bits the PFNC code, high 32
    // bits the SDK's second pixel-format word.
    static bool IsColorFormat(uint64_t pixelFormat);
    static bool IsSupportedFormat(uint64_t pixelFormat);
    static int GetBitsPerPixel(uint64_t pixelFormat);
    static int GetMaxPixelValue(uint64_t pixelFormat);
    static uint64_t GetStreamPixelFormat(uint32_t pixelType, uint32_t secondWord);

    // Bytes of the display image: 4 per pixel for colour formats, 1 else;
    // 0 for a zero, negative or too large size.
    static int ComputeImageSize(int width, int height, uint64_t pixelFormat);

    // Deep copy of an image record: the destination is zeroed, then gets a
    // new pixel block (AllocImageBlock) and the fields from width to the
    // timestamp. False, and the destination untouched, when the source has
    // no pixels or a size too small for its width, height and format.
    // Keeps a plot axis whose range changed to `wanted` inside `limits`,
    // keeping the range's size where the limits allow; sets the result with
    // the axis's signals blocked.
    static void UpdateAxisRange(QCPAxis* axis, const QCPRange& wanted, const QCPRange& limits);

    // Windows (ZelUtilLayout.cpp). Raises the window's minimum size, and its
    // size, to what its layout needs, after raising each push button's
    // minimum width to what its text needs, so that a window with a minimum
    // set by hand cuts none of its texts at its opening size.
    static void FitToContents(QWidget* window);

    static bool CloneBufferInfo(ORV_BUFFER_INFO* destination, const ORV_BUFFER_INFO* source);
    // The one allocator of owned image copies (C heap); null on failure.
    static void* AllocImageBlock(size_t size);
    // Frees the pixel block of an owned copy and clears the pointer.
    static void FreeBufferInfo(ORV_BUFFER_INFO* info);

    // Saves the image through the SDK; the suffix of the file name selects
    // PNG (also for any other suffix), BMP or RAW. The name reaches the SDK
    // as UTF-8.
    static bool SaveImage(const QString& fileName, const ORV_BUFFER_INFO* image);
    static int ImageFileType(const QString& fileName);
};

#endif // ZELUTIL_H
