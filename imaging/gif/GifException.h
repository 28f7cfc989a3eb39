#pragma once
// The one exception class of the GIF codec. Its messages are fixed English texts that callers
// show as they are (the tool prints them after "error: ").

#include <stdexcept>
#include <string>

namespace scenaria {

class GIFException : public std::runtime_error {
public:
    explicit GIFException(const std::string& message) : std::runtime_error(message) {}
};

} // namespace scenaria
