#include "image/ProcessObjects.h"

// Built before every other static object of the program (the application
// object included) and so torn down after them; within this unit the guard
// comes first, so the pool deletes its contexts before the library stops.
CGdiplusGuard theGdiplusGuard __attribute__((init_priority(1000)));
CMemoryDCPool theMemoryDCPool __attribute__((init_priority(1001)));
