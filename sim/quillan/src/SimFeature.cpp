#include "SimFeature.h"

#include "SimFeatureText.h"

namespace quillan {

std::string SimSelection::key() const
{
    std::string k;
    for (size_t i = 0; i < names.size(); ++i)
        k += "[" + names[i] + "=" + entries[i] + "]";
    return k;
}

SimFeature SimFeature::make(const std::string& name, SimType type, const std::string& category, SimAccess access)
{
    SimFeature f;
    f.name = name;
    f.type = type;
    f.category = category;
    f.access = access;
    f.displayName = displayNameFor(name);
    f.toolTip = f.displayName;
    return f;
}

} // namespace quillan
