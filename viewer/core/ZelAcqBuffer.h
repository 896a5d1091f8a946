#ifndef ZELACQBUFFER_H
#define ZELACQBUFFER_H

#include "OrvSdk.h"

#include <QMetaType>
#include <QObject>

#include <mutex>

// One image buffer of a data stream: either a stream buffer whose pixel
// memory the SDK owns, or a display buffer that owns two pixel blocks (the
// converted image and the camera's own values).
class ZelAcqBuffer : public QObject
{
    Q_OBJECT

public:
    // A stream buffer: no handle, empty record, no display buffer.
    explicit ZelAcqBuffer(QObject* parent = nullptr);
    // A display buffer for images of this size and pixel format.
    ZelAcqBuffer(uint32_t width, uint32_t height, uint32_t pixelTypeLow, uint32_t pixelTypeHigh,
                 QObject* parent = nullptr);
    ~ZelAcqBuffer() override;

    ORV_BUFFER_HANDLE GetHandle() const { return handle; }
    void SetHandle(ORV_BUFFER_HANDLE h) { handle = h; }

    // A copy of the record; the pixel blocks are not copied.
    ORV_BUFFER_INFO GetInfo() const;
    // Takes the record the SDK filled and maps its pixel type to the
    // viewer's 64-bit format.
    void SetInfo(const ORV_BUFFER_INFO& fromSdk);
    // Forgets the image: an all-zero record.
    void ClearInfo();
    // Fills out with width, height, size and pixel type and a new C-heap
    // copy of the image; out.pixels stays null when there is nothing to copy
    // or no memory. The caller frees the copy with free().
    void CopyImage(ORV_BUFFER_INFO& out) const;

    ZelAcqBuffer* GetDisplayBuffer() const;
    void SetDisplayBuffer(ZelAcqBuffer* buffer);

    // Display buffers: true when the object owns its pixel blocks.
    bool OwnsMemory() const { return ownsMemory; }
    // Bytes of the second block of a display buffer; 0 for stream buffers.
    uint32_t SecondBlockSize() const { return secondBlockSize; }

    // Bytes of the second block of a display buffer for this image.
    static uint32_t DisplaySecondBlockSize(uint32_t width, uint32_t height, uint64_t pixelFormat);
    // Bytes a whole image of this size and format takes as delivered; 0 for
    // formats of unknown depth.
    static uint64_t DeliveredImageSize(uint32_t width, uint32_t height, uint64_t pixelFormat);

private:
    mutable std::mutex mutex;
    ORV_BUFFER_HANDLE handle = 0;
    ORV_BUFFER_INFO info{};
    ZelAcqBuffer* displayBuffer = nullptr;
    bool ownsMemory = false;
    uint32_t secondBlockSize = 0;
};

// What imageReady carries: the stream buffer of the image. The buffer manager
// owns it; it stays valid until the next start of its stream.
typedef ZelAcqBuffer* ZelAcqBufferPtr;
Q_DECLARE_METATYPE(ZelAcqBufferPtr)

#endif // ZELACQBUFFER_H
