#include "ProcessMemory.h"

#include <QtGlobal>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace ProcessMemory {

void limitAllocatorHeaps()
{
#if defined(__GLIBC__)
    if (!qEnvironmentVariableIsSet("MALLOC_ARENA_MAX")) {
        mallopt(M_ARENA_MAX, 2);
    }
#endif
}

} // namespace ProcessMemory
