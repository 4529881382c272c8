#include "plugin/show_message.h"

int ShowMessage(const char* text, const char* caption, UINT type)
{
    return MessageBoxA(GetActiveWindow(), text, caption, type);
}
