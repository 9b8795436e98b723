#pragma once

#include <QtGlobal>

namespace ProcessMemory {

// Call first thing in main, before any thread exists. The C library gives each thread that allocates
// at the same time its own heap and keeps what is freed there: store reads on pool threads and the web
// engine's threads then grow the process round after round of opening and closing windows. Two heaps keep
// it flat. MALLOC_ARENA_MAX in the environment still decides.
void limitAllocatorHeaps();

} // namespace ProcessMemory
