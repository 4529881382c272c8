#pragma once

// The characters after the last backslash or forward slash of path, in place: the whole path
// when it has neither. "C:\maps\a/b.bmp" and "C:/maps/b.bmp" give "b.bmp"; a drive colon
// stays ("C:b.bmp"). A null path gives an empty string.
const char* FileNamePart(const char* path);
