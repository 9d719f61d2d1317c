// Strings and the string expression protocol.
//
// A string is a zero-terminated 8-bit ANSI text; a null pointer is the empty string. A string
// variable (char*) owns one RuntimeHeap block of exactly length + 1 bytes.
//
// Every expression is built in the one StringWorkBuffer (64000 bytes) at WritePosition, which
// always points at the terminating zero of the text being built:
//  1. Note WritePosition as the start of a temporary.
//  2. Call producing operations with WritePosition as destination; each writes its result there,
//     terminates it, leaves WritePosition on the terminator and returns the destination, so
//     successive operations concatenate.
//  3. To transform the temporary just built in place, step WritePosition one byte past its
//     terminator and pass the temporary's start as destination: each input byte is read before
//     the output can reach it (PadLeft moves its input with an overlap-safe move).
//  4. To pass several strings to one call, step WritePosition one byte past each argument's
//     terminator before building the next.
//  5. Store the temporary with AssignFromWorkBuffer (which resets WritePosition to the start), or
//     consume the temporaries and then set WritePosition back to the start noted in step 1.
//  6. A routine returning a string sets WritePosition to the caller's destination on entry,
//     computes in local variables, appends its result with AppendString last, then releases its
//     locals.
//  7. A routine reading platform text writes at most WorkBufferRoom() bytes at WritePosition,
//     advances WritePosition by the count received and writes a zero there.
//
// Capacity: no operation ever writes past the buffer's end, whatever the length of its output.
// The buffer's last byte always stays zero; an output that would reach it is cut short and still
// terminated, and a destination at or past the last byte produces an empty string on the last
// byte. Only the end is guarded: a destination must not lie before the buffer's start.
#pragma once
#include <cstdint>

const int32_t StringWorkBufferSize = 64000;

// Points at the terminator of the text being built in the StringWorkBuffer.
extern char* WritePosition;
// One past the StringWorkBuffer's last byte; only the capacity checks use it.
extern char* StringWorkBufferEnd;

// ---- The work buffer ------------------------------------------------------------------------
// Allocates the StringWorkBuffer (zero-filled, RuntimeHeap) once, if WritePosition is null.
void InitStringBuffer();
// Makes the given zero-filled memory the work buffer and puts WritePosition at its start.
// InitStringBuffer uses it; host-side tests bind a buffer of their own with it.
void UseStringWorkBuffer(char* start, int32_t size);
// Number of text bytes that can still be written at WritePosition before its terminator would
// have to go past the buffer's last byte.
int32_t WorkBufferRoom();

// ---- Storing and releasing ------------------------------------------------------------------
// Stores the temporary starting at start (up to its first zero) in *variable as a block of
// exactly length + 1 bytes, releases the old block and sets WritePosition back to start.
void AssignFromWorkBuffer(char** variable, const char* start);
// Stores a copy of source in *variable (null source: the variable becomes null) and releases the
// old block. Source may be the variable's own block.
void AssignString(char** variable, const char* source);
// Copies source with its terminator to WritePosition and leaves WritePosition on the copied
// terminator; returns where the copy starts. Null writes only a terminator.
char* AppendString(const char* source);
// Frees the string's block; null does nothing.
void ReleaseString(char* s);

// ---- Comparisons (null = empty, bytes unsigned, no case folding); 1 or 0 --------------------
int32_t StringsEqual(const char* a, const char* b);
int32_t StringGreater(const char* a, const char* b);
int32_t StringLess(const char* a, const char* b);

// ---- Queries --------------------------------------------------------------------------------
int32_t StringLength(const char* s);
// Value 0-255 of the first byte; 0 for null or empty.
int32_t CharacterCode(const char* s);
// Blanks, optional sign, decimal digits accumulated in wrapping 32-bit arithmetic; 0 if none.
int32_t ParseInteger(const char* s);
// 1-based position of needle in s at or after start (start <= 0 counts as 1); 0 if absent.
int32_t FindSubstring(const char* s, const char* needle, int32_t start);

// ---- Producing operations -------------------------------------------------------------------
// Each writes at destination (normally WritePosition), terminates, leaves WritePosition on the
// terminator and returns the destination.
char* CharacterString(char* destination, int32_t code);
char* LowerCaseString(char* destination, const char* s);
char* UpperCaseString(char* destination, const char* s);
char* SubString(char* destination, const char* s, int32_t start, int32_t count);
char* LeftPart(char* destination, const char* s, int32_t count);
char* RightPart(char* destination, const char* s, int32_t count);
// count blanks; a count <= 0 gives the empty string.
char* RepeatSpaces(char* destination, int32_t count);
char* TrimLeading(char* destination, const char* s);
char* TrimTrailing(char* destination, const char* s);
char* TrimBoth(char* destination, const char* s);
// "%ld" of the value.
char* FormatSigned(char* destination, int32_t value);
// "%lu" of the low 8 bits (size 0), low 16 bits (size 1) or all 32 bits (any other size).
char* FormatUnsigned(char* destination, int32_t value, int32_t size);
// "%lX" of the value.
char* FormatHex(char* destination, int32_t value);
// Base-2 digits of the value (a negative value prints all 32 bits); writes at WritePosition.
char* FormatBinary(int32_t value);
// s right-aligned in exactly width bytes, padded with the first byte of fill (null fill: blank;
// empty fill: zero bytes); a longer s is cut on the right; width <= 0 gives empty.
char* PadLeft(char* destination, const char* s, int32_t width, const char* fill);
