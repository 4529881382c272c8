#pragma once

#include <cstddef>

// The texts of the message shown when the export file cannot be created. They are
// Windows-1251 bytes, shown unchanged through the ANSI message box.

// "Не могу создать файл %s. Экспорт не произведен." (47 bytes; %s is the file name)
extern const char kCannotCreateFormat[];
// "WUX экспорт"
extern const char kCannotCreateCaption[];

// The message text is formatted into a buffer of this many bytes.
constexpr std::size_t kMessageBufferSize = 500;

// Writes the message naming fileName into buffer (bufferSize bytes, NUL-terminated).
// A file name too long for the buffer is cut so that the rest of the text still fits;
// nothing is written past bufferSize bytes.
void FormatCannotCreateMessage(char* buffer, std::size_t bufferSize, const char* fileName);
