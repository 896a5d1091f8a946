#include "SimFeature.h"

namespace quillan {

std::string SimSelection::key() const
{
    std::string k;
    for (size_t i = 0; i < names.size(); ++i)
        k += "[" + names[i] + "=" + entries[i] + "]";
    return k;
}

} // namespace quillan
