#include "platform/Uri.h"

#include <filesystem>
#include <system_error>

namespace scenaria {

std::string PercentEncodePath(const std::string& path)
{
    static const char Hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool keep = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                          (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                          byte == '_' || byte == '~' || byte == '/';
        if (keep) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += Hex[byte >> 4];
            encoded += Hex[byte & 15];
        }
    }
    return encoded;
}

std::string AbsolutePath(const std::string& path)
{
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

std::string FileUri(const std::string& path)
{
    return "file://" + PercentEncodePath(AbsolutePath(path));
}

} // namespace scenaria
