#include "ProcessMemory.h"

#include <QFile>
#include <QtGlobal>

#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
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

qint64 usedBytes()
{
#if defined(__SANITIZE_ADDRESS__)
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    // The second field is the resident pages.
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
#endif
}

} // namespace ProcessMemory
