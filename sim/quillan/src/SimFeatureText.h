// Texts derived from feature names.
#ifndef SIMFEATURETEXT_H
#define SIMFEATURETEXT_H

#include <string>

namespace quillan {

// "ExposureTime" -> "Exposure Time", "LUTValue" -> "LUT Value",
// "DefectPixelCorrection_MapSize" -> "Defect Pixel Correction Map Size".
std::string displayNameFor(const std::string& name);

} // namespace quillan

#endif
