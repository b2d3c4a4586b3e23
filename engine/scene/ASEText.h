#pragma once
// Opens a scene file as the 8-bit text the ASE reader expects. Exporters on
// some systems write the text as UTF-16 behind a byte-order mark, or put a
// UTF-8 mark before it.

#include <cstdio>

// The stream to read, positioned at the first character of the text:
// - a UTF-16 file (mark FF FE or FE FF) is transcoded into a temporary file,
//   block by block, so a large file never sits in memory twice: U+0000 to
//   U+00FF become the byte of the same value, every other character (a
//   surrogate pair is one) becomes '?';
// - a UTF-8 mark is skipped; the bytes after it are read as they are;
// - any other file, and one that cannot seek, is read from its first byte.
// Null when the file cannot be opened, or (with `refusal` saying why) when no
// temporary file can hold the transcoded text.
FILE* openASEText(const char* fileName, const char** refusal);
