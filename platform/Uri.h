#pragma once
// Percent-encoding of file names for the places that want URIs or encoded paths.

#include <string>

namespace scenaria {

// Every byte except the unreserved characters of RFC 3986 and "/" as %XX (upper-case hex), so
// that spaces, quotes and non-ASCII letters survive any consumer.
std::string PercentEncodePath(const std::string& path);

// "file://" and the encoded absolute form of the path (a relative path is taken from the
// current folder).
std::string FileUri(const std::string& path);

// The path made absolute against the current folder, without resolving links.
std::string AbsolutePath(const std::string& path);

} // namespace scenaria
