// The global-memory allocator behind TBitmapFile's blocks (the object itself,
// the info block and the palette block). Replaceable so that a test can make
// an allocation fail; nullptr restores GlobalAlloc.
#pragma once

#include <windows.h>

typedef HGLOBAL (WINAPI* BitmapFileAllocFn)(UINT flags, SIZE_T bytes);
void SetBitmapFileAllocator(BitmapFileAllocFn alloc);
HGLOBAL BitmapFileGlobalAlloc(UINT flags, SIZE_T bytes);
