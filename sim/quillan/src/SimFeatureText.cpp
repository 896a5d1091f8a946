#include "SimFeatureText.h"

#include <cctype>

namespace quillan {

std::string displayNameFor(const std::string& name)
{
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == '_') {
            if (!out.empty() && out.back() != ' ')
                out += ' ';
            continue;
        }
        if (i > 0 && std::isupper(static_cast<unsigned char>(c)) && !out.empty() && out.back() != ' ') {
            const char prev = name[i - 1];
            const bool nextLower = i + 1 < name.size() && std::islower(static_cast<unsigned char>(name[i + 1]));
            if (std::islower(static_cast<unsigned char>(prev)) || std::isdigit(static_cast<unsigned char>(prev))
                || (std::isupper(static_cast<unsigned char>(prev)) && nextLower))
                out += ' ';
        }
        out += c;
    }
    return out;
}

} // namespace quillan
