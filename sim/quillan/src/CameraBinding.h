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

std::shared_ptr<StreamState> streamStateOf(const std::shared_ptr<SimCamera>& camera);
std::shared_ptr<EventState> eventStateOf(const std::shared_ptr<SimCamera>& camera);
// Null for cameras without file access.
std::shared_ptr<FileStore> fileStoreOf(const std::shared_ptr<SimCamera>& camera);

// The camera's current image settings and frame timing.
bool cameraImageSettings(const std::shared_ptr<SimCamera>& camera, SimImageSettings& settings);
void cameraTiming(const std::shared_ptr<SimCamera>& camera, StreamState::Timing& timing);
// Binds the camera's acquisition commands and stream counters to its stream.
void bindFeatures(const std::shared_ptr<SimCamera>& camera, const std::shared_ptr<StreamState>& stream);

} // namespace quillan

#endif // CAMERABINDING_H
