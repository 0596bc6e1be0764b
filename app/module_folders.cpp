// Where the video module is looked for, fixed when the program is built (app/CMakeLists.txt): a
// library of its own, so that a test program can be built with other folders.
#include "app/video_encoder.h"

#include <algorithm>

namespace q3 {

std::vector<std::string> videoModuleFolders(const std::string& program)
{
    std::vector<std::string> folders;
    if (program == QUILLET3_BUILD_PROGRAM)
        folders.emplace_back(QUILLET3_BUILD_MODULE_DIR);
    for (const char* installed : {QUILLET3_INSTALL_MODULE_DIR, QUILLET3_PACKAGE_MODULE_DIR})
        if (std::find(folders.begin(), folders.end(), installed) == folders.end())
            folders.emplace_back(installed);
    return folders;
}

} // namespace q3
