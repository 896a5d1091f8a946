#include "ZelCorrectionMapAccess.h"

#include "ZelAppSettings.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"

#include <QFileInfo>
#include <QWidget>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {
const QString directoryGroup = QStringLiteral("Directory");
}

ZelCorrectionMapAccess::ZelCorrectionMapAccess(ZelFeatureManager* deviceRegisters, ZelFeatureManager* remoteDevice,
                                               bool bigEndian, const QString& folderKey)
    : m_deviceRegisters(deviceRegisters), m_remoteDevice(remoteDevice), m_bigEndian(bigEndian),
      m_folderKey(folderKey), m_folder(storedFolder())
{
}

quint32 ZelCorrectionMapAccess::cameraOrder(quint32 word) const
{
    return m_bigEndian ? qbswap(word) : word;
}

bool ZelCorrectionMapAccess::readWord(quint32 address, quint32& value) const
{
    QVector<quint32> word;
    if (!readWords(address, 1, word))
        return false;
    value = word[0];
    return true;
}

bool ZelCorrectionMapAccess::writeWord(quint32 address, quint32 value) const
{
    return writeWords(address, &value, 1);
}

bool ZelCorrectionMapAccess::readWords(quint32 address, size_t count, QVector<quint32>& words) const
{
    if (count == 0) {
        words.clear();
        return true;
    }
    if (!m_deviceRegisters || count > maxMapWords)
        return false;
    QVector<quint32> block(static_cast<int>(count), 0);
    size_t length = count * 4;
    if (!m_deviceRegisters->GetRegister(address, block.data(), &length))
        return false;
    for (quint32& word : block)
        word = cameraOrder(word);
    words = std::move(block);
    return true;
}

bool ZelCorrectionMapAccess::writeWords(quint32 address, const quint32* words, size_t count) const
{
    if (count == 0)
        return true;
    if (count > maxMapWords)
        return false;
    QVector<quint32> block(static_cast<int>(count));
    for (int i = 0; i < block.size(); ++i)
        block[i] = cameraOrder(words[i]);
    return writeBytes(address, block.constData(), count * 4);
}

bool ZelCorrectionMapAccess::writeBytes(quint32 address, const void* bytes, size_t length) const
{
    if (length == 0)
        return true;
    size_t written = length;
    return m_deviceRegisters && m_deviceRegisters->SetRegister(address, bytes, &written);
}

bool ZelCorrectionMapAccess::getFeature(const char* name, QVariant& value) const
{
    return m_remoteDevice && m_remoteDevice->GetValue(name, value, false, false);
}

bool ZelCorrectionMapAccess::setFeature(const char* name, const QVariant& value) const
{
    return m_remoteDevice && m_remoteDevice->SetValue(name, value, false);
}

bool ZelCorrectionMapAccess::readSetting(const char* feature, quint32 address, bool registerMode,
                                         QVariant& value) const
{
    if (!registerMode)
        return getFeature(feature, value);
    quint32 word = 0;
    if (!readWord(address, word))
        return false;
    value = QVariant(word);
    return true;
}

bool ZelCorrectionMapAccess::writeSetting(const char* feature, quint32 address, bool registerMode,
                                          const QVariant& value) const
{
    if (!registerMode)
        return setFeature(feature, value);
    return writeWord(address, quint32(value.toLongLong()));
}

bool ZelCorrectionMapAccess::isParamLocked() const
{
    QVariant locked(0);
    return getFeature("TLParamsLocked", locked) && locked.toLongLong() == 1;
}

bool ZelCorrectionMapAccess::mayUpload(QWidget* parent) const
{
    if (!isParamLocked())
        return true;
    ZelDialogs::critical(parent, QStringLiteral("Upload Map"),
                         QStringLiteral("stop streaming before uploading map to camera"));
    return false;
}

QWidget* ZelCorrectionMapAccess::messageParent(QWidget* tool)
{
    return tool->isVisible() || !tool->parentWidget() ? tool : tool->parentWidget();
}

QString ZelCorrectionMapAccess::storedFolder() const
{
    return ZelAppSettings::instance()->value(directoryGroup, m_folderKey, QVariant()).toString();
}

void ZelCorrectionMapAccess::rememberFolder(const QString& chosenFile)
{
    if (chosenFile.isEmpty())
        return;
    const QString chosen = QFileInfo(chosenFile).absolutePath();
    if (chosen == m_folder)
        return;
    ZelAppSettings::instance()->setValue(directoryGroup, m_folderKey, chosen);
    m_folder = chosen;
}

quint32 ZelCorrectionMapAccess::clampCount(qint64 value, quint32 bound)
{
    return quint32(std::clamp<qint64>(value, 0, bound));
}
