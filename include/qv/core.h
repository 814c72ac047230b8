// What every library of the runtime shares: object numbers and the runtime's heap.
//
// Windows, gadgets and images are numbered objects. A static number is one the program chooses,
// from 0 up to 65536 less the library's growth step (windows and images: 65520, gadgets: 65486);
// the library keeps a table indexed by it, so small numbers cost least. AutoNumber asks for a
// dynamic object instead, whose number is the address of its record. A dynamic number is valid
// until its object is freed; after that it may name a new object, since the next record may be
// given the same address. Opening or loading into a static number that holds an object frees
// that object first.
#pragma once

#include <windows.h>

// As a number: asks an open or load operation for a dynamic object. Given to a free or close
// operation: frees every object of that library.
constexpr int AutoNumber = -1;

// The heap every runtime record comes from: made by StartAppRuntime, destroyed by EndAppRuntime,
// null outside. Memory the runtime hands over to the caller, such as the pixel copy of
// ReadBitmapPixels32, is freed with HeapFree(RuntimeHeap, 0, memory).
extern HANDLE RuntimeHeap;
