#ifndef ZELCORRECTIONMAPACCESS_H
#define ZELCORRECTIONMAPACCESS_H

#include <QString>
#include <QVariant>
#include <QVector>

#include <cstddef>
#include <cstdint>

class QWidget;
class ZelFeatureManager;

// How the map tools reach their camera: features by name through the remote
// device, raw 32-bit registers through the device module in the camera's byte
// order, a setting's feature or its register twin, the parameter lock, and
// the folder their file dialogs remember.
class ZelCorrectionMapAccess
{
public:
    // Words from the defect map memory (0x10025000) up to the shading memory
    // (0x10100000): no count read from a camera allocates more.
    static constexpr quint32 maxMapWords = (0x10100000u - 0x10025000u) / 4;

    // folderKey: the key of group "Directory" that holds the tool's folder.
    ZelCorrectionMapAccess(ZelFeatureManager* deviceRegisters, ZelFeatureManager* remoteDevice, bool bigEndian,
                           const QString& folderKey);

    ZelFeatureManager* deviceRegisters() const { return m_deviceRegisters; }
    ZelFeatureManager* remoteDevice() const { return m_remoteDevice; }
    bool bigEndian() const { return m_bigEndian; }
    void setBigEndian(bool bigEndian) { m_bigEndian = bigEndian; }

    // A host word as the camera stores it, and back: byte-reversed when the
    // big-endian flag is set.
    quint32 cameraOrder(quint32 word) const;

    // One 32-bit register; a failed read leaves `value` alone.
    bool readWord(quint32 address, quint32& value) const;
    bool writeWord(quint32 address, quint32 value) const;
    // `count` words in one block, each in the camera's byte order. A failed
    // read leaves `words` alone; a block of no words reads or writes nothing
    // and succeeds.
    bool readWords(quint32 address, size_t count, QVector<quint32>& words) const;
    bool writeWords(quint32 address, const quint32* words, size_t count) const;
    // Bytes as given, for maps that lay out their own bytes.
    bool writeBytes(quint32 address, const void* bytes, size_t length) const;

    // Remote-device features by name.
    bool getFeature(const char* name, QVariant& value) const;
    bool setFeature(const char* name, const QVariant& value) const;

    // A setting with a register twin: the register in register mode (read as
    // an unsigned 32-bit integer, written from the low 32 bits), the feature
    // otherwise. A failed read leaves `value` alone.
    bool readSetting(const char* feature, quint32 address, bool registerMode, QVariant& value) const;
    bool writeSetting(const char* feature, quint32 address, bool registerMode, const QVariant& value) const;

    // TLParamsLocked reads exactly 1 (the camera streams); a failed read is
    // not locked.
    bool isParamLocked() const;
    // The Upload button's test: false, after telling the operator on
    // `parent`, while the camera streams.
    bool mayUpload(QWidget* parent) const;

    // The window a load's refusal belongs on: the tool when it is shown,
    // else the camera window that called it while hidden.
    static QWidget* messageParent(QWidget* tool);

    // The folder the dialogs start in: the one held since construction, or
    // the one stored at this moment.
    QString folder() const { return m_folder; }
    QString storedFolder() const;
    // Holds and stores the folder of `chosenFile` when it differs.
    void rememberFolder(const QString& chosenFile);

    // A count read from the camera, within 0 .. bound.
    static quint32 clampCount(qint64 value, quint32 bound);

private:
    ZelFeatureManager* m_deviceRegisters;
    ZelFeatureManager* m_remoteDevice;
    bool m_bigEndian;
    QString m_folderKey;
    QString m_folder;
};

#endif // ZELCORRECTIONMAPACCESS_H
