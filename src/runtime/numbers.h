// Object numbers shared by every library that hands out numbered objects (windows, gadgets,
// images, files).
#pragma once
#include <cstdint>

// A small caller-chosen number, or the address of an object record handed out under AnyNumber.
typedef intptr_t ObjectNumber;

// Asks a creating operation for an object outside its table: the operation allocates an object
// record (see runtime/heaps.h) and returns the record's payload address as the object's number.
const ObjectNumber AnyNumber = -1;
