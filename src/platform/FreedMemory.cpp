// Freed memory back to the system, where the C library can do it.
#include "platform/FreedMemory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void ReturnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
