#include "platform/X11Root.h"

namespace scenaria {

bool LoadRgbPicture(const std::string& file, TRgbPicture& picture, std::string& error)
{
    // The image library cannot read bitmap files yet; until it can, bare X11 says so.
    error = "cannot read " + file + ": the bitmap reader is not built yet";
    picture = {};
    return false;
}

} // namespace scenaria
