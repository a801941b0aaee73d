#include "allocatorsettings.h"

#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace AllocatorSettings {

bool keepImageBuffers()
{
#if defined(__GLIBC__)
    constexpr int mebibyte = 1024 * 1024;
    const bool mapped = mallopt(M_MMAP_THRESHOLD, 32 * mebibyte) == 1;
    const bool trimmed = mallopt(M_TRIM_THRESHOLD, 128 * mebibyte) == 1;
    return mapped && trimmed;
#else
    return false;
#endif
}

} // namespace AllocatorSettings
