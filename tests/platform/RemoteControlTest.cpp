#include "platform/RemoteControl.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace scenaria {
namespace {

// What the bus accepts as a well-known name: dot-separated elements of letters, digits, "_"
// and "-", none starting with a digit, at most 255 characters.
bool ValidBusName(const std::string& name)
{
    static const std::regex element("[A-Za-z_-][A-Za-z0-9_-]*");
    if (name.empty() || name.size() > 255)
        return false;
    std::size_t start = 0, count = 0;
    while (true) {
        const auto dot = name.find('.', start);
        const std::string part = name.substr(start, dot - start);
        if (!std::regex_match(part, element))
            return false;
        ++count;
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    return count >= 2;
}

TEST(RemoteControlNames, EveryProgramFileNameGetsAValidNameOfItsOwn)
{
    EXPECT_EQ(RemoteServiceName("scenarix"), "org.scenaria.Scenaria.scenarix");
    const std::vector<std::string> names{"scenarix",
                                         "scenarix-two",
                                         "scenarix.exe",
                                         "2scenarix",
                                         "",
                                         "sc\xc3\xa9narix",
                                         std::string(300, 'x'),
                                         std::string(300, 'x') + "y",
                                         "scenarix_2d",
                                         "2a",
                                         "*"};
    std::set<std::string> seen;
    for (const auto& name : names) {
        const std::string service = RemoteServiceName(name);
        EXPECT_TRUE(ValidBusName(service)) << service;
        EXPECT_TRUE(seen.insert(service).second) << "two programs share " << service;
    }
}

} // namespace
} // namespace scenaria
