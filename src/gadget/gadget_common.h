// Operations that work on a gadget of any kind by its number.
#pragma once
#include <windows.h>

#include "runtime/numbers.h"

// Longest caption ReadGadgetCaption takes from a control, terminator included.
const int GadgetCaptionLimit = 32000;

// Any non-zero state disables the gadget, 0 enables it. No gadget: no effect.
void SetGadgetDisabled(ObjectNumber number, long state);
// Gives the gadget its caption through the kind's ApplyCaption (default SetWindowTextA).
// No gadget: nothing happens.
void SetGadgetCaption(ObjectNumber number, const char* text);
// Appends the gadget's caption at WritePosition through the kind's QueryCaption (default: at most
// GadgetCaptionLimit - 1 characters, and never more than the StringWorkBuffer has room for),
// leaves WritePosition on its terminator and returns where it starts. No gadget: the empty
// string.
char* ReadGadgetCaption(ObjectNumber number);
