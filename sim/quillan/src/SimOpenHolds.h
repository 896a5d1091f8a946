// The cameras this process's SDK holds open, shared with other processes
// beside the state file (QUILLAN_SIM_STATE + ".open"), so that a producer in
// the IP tool can refuse a camera that a viewer is using. One line per held
// camera: the holder's process id and the camera's key. Lines of processes
// that are gone count as released.
#ifndef SIMOPENHOLDS_H
#define SIMOPENHOLDS_H

#include <string>

namespace quillan {

namespace SimOpenHolds {

// The holds file, or empty when no state file is named.
std::string path();

// Records or drops this process's hold on the camera of that key.
void hold(const std::string& key, bool held);

// True when a live process holds the camera of that key open.
bool held(const std::string& key);

} // namespace SimOpenHolds

} // namespace quillan

#endif // SIMOPENHOLDS_H
