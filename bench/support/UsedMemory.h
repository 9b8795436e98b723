#pragma once

#include <QtGlobal>

namespace UsedMemory {

// What the process holds in memory now, in bytes; 0 where it cannot be told. Its resident memory, but under
// AddressSanitizer, which holds freed memory back to catch late uses, what is allocated and not yet freed.
qint64 bytes();

} // namespace UsedMemory
