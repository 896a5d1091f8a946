// The per-camera stream, event and file state of the simulator, created on
// first use and wired to the camera: image settings in, events out, and the
// camera's life cycle (device close, connection changes, library close).
#ifndef CAMERABINDING_H
#define CAMERABINDING_H

#include "EventState.h"
#include "FileStore.h"
#include "SimImageGenerator.h"
#include "StreamState.h"

#include <memory>

namespace quillan {

class SimCamera;

// The state of a camera slot if it was made, without making it; read under
// the camera's slot lock.
template <class T, class Camera>
std::shared_ptr<T> existing(const std::shared_ptr<Camera>& camera, std::shared_ptr<T>& slot)
{
    return camera->ensure(slot, [] { return std::shared_ptr<T>(); });
}

std::shared_ptr<StreamState> streamStateOf(const std::shared_ptr<SimCamera>& camera);
std::shared_ptr<EventState> eventStateOf(const std::shared_ptr<SimCamera>& camera);
// Null for cameras without file access.
std::shared_ptr<FileStore> fileStoreOf(const std::shared_ptr<SimCamera>& camera);

// The camera's current image settings (with the content and shading of its
// stream) and frame timing.
bool cameraImageSettings(const std::shared_ptr<SimCamera>& camera, SimImageSettings& settings, StreamState* stream);
void cameraTiming(const std::shared_ptr<SimCamera>& camera, StreamState::Timing& timing);
// Binds the camera's acquisition commands and stream counters to its stream.
void bindFeatures(const std::shared_ptr<SimCamera>& camera, const std::shared_ptr<StreamState>& stream);

} // namespace quillan

#endif // CAMERABINDING_H
