#include "platform/RemoteControl.h"

#include <cstdint>
#include <cstdio>

namespace scenaria {

const std::vector<std::string>& RemoteCommandNames()
{
    static const std::vector<std::string> names{"Next",  "DeleteShown", "Configure", "Explore",
                                                "About", "Status",      "Quit"};
    return names;
}

std::string RemoteServiceName(const std::string& programFileName)
{
    // A bus name element holds letters, digits and "_" and must not start with a digit; any
    // other byte of the file name, and a leading digit, is written as "_" and two hex digits,
    // so that different names never meet.
    const std::string prefix = std::string(RemoteInterfaceName) + ".";
    if (programFileName.empty())
        return prefix + "_";
    std::string element;
    for (const char c : programFileName) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= '0' && byte <= '9' && !element.empty())) {
            element += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "_%02x", byte);
            element += hex;
        }
    }
    // Bus names end at 255 characters; a longer file name is told apart by its hash.
    if (prefix.size() + element.size() > 255) {
        std::uint64_t hash = 14695981039346656037ULL;
        for (const char c : programFileName)
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        char text[24];
        std::snprintf(text, sizeof text, "_%016llx", static_cast<unsigned long long>(hash));
        element = element.substr(0, 255 - prefix.size() - 17) + text;
    }
    return prefix + element;
}

} // namespace scenaria
