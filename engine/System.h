#pragma once
// The C library calls that Windows and POSIX spell differently, in one place.

#include <cstdio>
#include <ctime>

// The local time of `when`; false when it cannot be told.
bool localTime(std::time_t when, std::tm* out);
// Creates `path` for binary writing only if nothing by that name exists;
// null otherwise, with errno EEXIST when the name was taken.
std::FILE* createNewFile(const char* path);
