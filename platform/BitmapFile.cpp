#include "platform/X11Root.h"

namespace scenaria {

bool LoadRgbPicture(const std::string& file, TRgbPicture& picture, std::string& error)
{
    error = "TEMPORARY: bitmap reading not linked yet";
    return false;
}

} // namespace scenaria
