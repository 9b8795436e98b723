#pragma once

#include <QtGlobal>

namespace ProcessMemory {

// Call first thing in main, before any thread exists. The C library gives each thread that allocates
// at the same time its own heap and keeps what is freed there: store reads on pool threads and the web
// engine's threads then grow the process round after round of opening and closing windows. Two heaps keep
// it flat. MALLOC_ARENA_MAX in the environment still decides.
void limitAllocatorHeaps();

// What the process holds in memory now, in bytes; 0 where it cannot be told. Its resident memory, but under
// AddressSanitizer, which holds freed memory back to catch late uses, what is allocated and not yet freed.
qint64 usedBytes();

} // namespace ProcessMemory
