#pragma once
// Moving a file to the trash as the freedesktop.org Trash standard describes: the home
// trash for files on the home trash's file system, otherwise the trash at the top folder of
// the file's own file system. A file is only ever renamed into a trash on its own file system;
// when that cannot be done it stays where it is.

#include "platform/Folders.h"

#include <string>

namespace scenaria {

struct TTrashResult {
    bool Ok = false;
    std::string TrashedFile; // where the file went (the trash's files/ folder)
    std::string InfoFile;    // its .trashinfo
    std::string Error;       // why not, when Ok is false
};

TTrashResult MoveToTrash(const std::string& file, const TEnvLookup& env = ProcessEnv);

// The names tried in turn for a file in the trash: "a.png", "a.2.png", "a.3.png", ... (the
// extension stays last; a name starting with a dot has none).
std::string TrashCandidateName(const std::string& name, int attempt);

} // namespace scenaria
