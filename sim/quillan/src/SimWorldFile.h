// World files: a JSON description of producers and cameras that replaces or
// extends the built-in world.
//
// {
//   "builtIn": true,               optional: start from the built-in world
//   "producers": [ { "file": "my_tl.cti", "vendor": "...", "model": "...",
//                    "type": "GEV", "version": "2.5.15",
//                    "interfaces": [ { "id": "if-0", "display": "...",
//                                      "ip": "192.168.5.10", "mask": "255.255.255.0",
//                                      "gateway": "" } ] } ],
//   "cameras": [ { "profile": "G1", "id": "GEV-X-0001", "producer": "my_tl.cti",
//                  "interface": "if-0", "vendor": "...", "model": "...",
//                  "serial": "...", "version": "...", "status": 1,
//                  "width": 1280, "height": 1024, "formats": ["Mono8"],
//                  "stream": true, "events": [4000, 4, 5000],
//                  "probeTime": 100, "latency": 20, "ip": "...", "mask": "...",
//                  "gateway": "...", "mac": "00-11-1C-00-00-42",
//                  "bigEndian": true } ]
// }
//
// A camera's "profile" names a built-in camera (G1, U2, ...): its features
// and every field the entry leaves out come from there. A producer or camera
// with the file name or device ID of one already in the world replaces it.
#ifndef SIMWORLDFILE_H
#define SIMWORLDFILE_H

#include <string>

namespace quillan {

struct SimWorldDescription;

bool readWorldFile(const std::string& path, SimWorldDescription* world, std::string* error);

} // namespace quillan

#endif // SIMWORLDFILE_H
