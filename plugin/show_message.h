#pragma once

#include "host/max_sdk.h"

// Shows a message box owned by the thread's active window and returns the button
// the user pressed.
int ShowMessage(const char* text, const char* caption, UINT type);
