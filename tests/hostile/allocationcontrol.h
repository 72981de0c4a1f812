#pragma once
// Allocation failure on demand for a test program that links the product's
// libraries directly: global operator new and delete and the C allocation
// functions (wrapped at link time) count every allocation while armed and
// fail the chosen one, on whichever thread it falls, or also every later
// one of the thread that armed.
#include <cstddef>

// failAt < 0 only counts. Allocations made while armed are tracked until
// they are freed.
void ArmAllocations(long failAt, bool failEveryLater);
// Stops failing and tracking; the number of allocations asked for while armed.
long DisarmAllocations();
// Allocations made while armed and not freed since.
size_t LiveTrackedAllocations();
