// A video module from another build: its table differs from the program's in its size, its
// interface tag or its version (STALE_SIZE, STALE_TAG, STALE_VERSION). The program must call
// nothing in it.

#include "app/version.h"
#include "video/video_module_abi.h"

#include <cstdlib>

namespace {

Quillet3VideoEncoder* openNothing(int /*fd*/, const Quillet3VideoSettings* /*settings*/,
                                  char* /*error*/, std::size_t /*errorBytes*/)
{
    std::abort();
}

const Quillet3VideoModule kModule{
    .tableSize = sizeof(Quillet3VideoModule) + STALE_SIZE,
    .interfaceTag = q3::kVideoModuleInterfaceTag ^ STALE_TAG,
    .version = STALE_VERSION,
    .open = openNothing,
};

} // namespace

extern "C" [[gnu::visibility("default")]] const Quillet3VideoModule* quillet3_video_module()
{
    return &kModule;
}
