// Checks that the export declarations agree with the contract's pointer types.
#include "QuillanExports.h"

#include <type_traits>

#define QUILLAN_CHECK_EXPORT_TYPE(row, name, ret, params, args) \
    static_assert(std::is_same_v<decltype(&name), name##Fn>, #name " differs from its pointer type");
ORV_SDK_FUNCTIONS(QUILLAN_CHECK_EXPORT_TYPE)
#undef QUILLAN_CHECK_EXPORT_TYPE
