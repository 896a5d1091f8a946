// Feature lists of the modules that several cameras share: a system (one
// producer) and an interface.
#ifndef SIMMODULEFEATURES_H
#define SIMMODULEFEATURES_H

#include "SimFeatureStore.h"
#include "SimWorld.h"

#include <memory>
#include <string>

namespace quillan {

struct SimSystemEntry;

class SimModuleFeatures
{
public:
    static std::shared_ptr<SimFeatureStore> buildSystem(const SimSystemEntry& entry, const SimProducerDesc& producer);
    static std::shared_ptr<SimFeatureStore> buildInterface(const std::string& producerFile, const SimInterfaceDesc& desc);
};

} // namespace quillan

#endif
