// Handing memory that the program has freed back to the system.
#pragma once

// The allocator keeps freed memory for later use, spread over the arenas of the threads that
// used it; after a window that held a large reply has gone, that would stay with the console for
// the rest of its run. Call it when such memory has just been freed; it takes a few milliseconds.
void ReturnFreedMemory();
