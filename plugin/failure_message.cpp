#include "plugin/failure_message.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

// Byte escapes keep the texts independent of this file's encoding.
const char kCannotCreateFormat[] =
    "\xCD\xE5 \xEC\xEE\xE3\xF3 \xF1\xEE\xE7\xE4\xE0\xF2\xFC \xF4\xE0\xE9\xEB %s. "
    "\xDD\xEA\xF1\xEF\xEE\xF0\xF2 \xED\xE5 \xEF\xF0\xEE\xE8\xE7\xE2\xE5\xE4\xE5\xED.";
const char kCannotCreateCaption[] = "WUX \xFD\xEA\xF1\xEF\xEE\xF0\xF2";

static_assert(sizeof(kCannotCreateFormat) == 47 + 1, "the message format is 47 bytes");
static_assert(sizeof(kCannotCreateCaption) == 11 + 1, "the caption is 11 bytes");

void FormatCannotCreateMessage(char* buffer, std::size_t bufferSize, const char* fileName)
{
    if (buffer == nullptr || bufferSize == 0) {
        return;
    }
    // The format's own bytes without "%s" and the terminating NUL.
    const std::size_t fixedLength = sizeof(kCannotCreateFormat) - 1 - 2;
    const std::size_t room = bufferSize > fixedLength + 1 ? bufferSize - fixedLength - 1 : 0;
    const int shown = static_cast<int>(std::min<std::size_t>(room, INT_MAX));
    // Precision instead of %s so that the cut name needs no copy (it stops at the name's
    // NUL too); the texts are single-byte, so a cut never splits a character.
    const char* percent = std::strstr(kCannotCreateFormat, "%s");
    std::snprintf(buffer, bufferSize, "%.*s%.*s%s",
        static_cast<int>(percent - kCannotCreateFormat), kCannotCreateFormat,
        shown, fileName != nullptr ? fileName : "", percent + 2);
}
