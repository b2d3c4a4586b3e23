// ASELoader, blocks and damage: which blocks are open and where they
// opened, so that a damaged file can be read on past a missing brace and an
// early end can name what it cut.

#include <cstdio>
#include <cstring>

#include "engine/Log.h"
#include "engine/scene/ASELoader.h"

void ASELoader::openBlock() {
  if (openDepth < maxTrackedBlocks) {
    OpenBlock& entry = open[openDepth];
    findToken();
    uint32_t length = tokenLength < sizeof entry.keyword - 1 ? tokenLength : uint32_t(sizeof entry.keyword - 1);
    std::memcpy(entry.keyword, line + tokenStart, length);
    entry.keyword[length] = 0;
    entry.line = lineNumber;
    entry.closed = false;
  }
  ++openDepth;
}

void ASELoader::closeBlock() {
  // The innermost block first: every block still open is named at once.
  bool closed = openDepth > maxTrackedBlocks || open[openDepth - 1].closed;
  if (atEnd && !closed && !refusal) {
    char where[160];
    describeOpenBlocks(where, sizeof where);
    char text[sizeof damage];
    if (std::snprintf(text, sizeof text, "the file ends inside %s", where) < 0) text[0] = 0;
    logPrintf("ASELoader::load: The file ends inside %s; what was read up to there is kept.\n", where);
    noteDamage(text);
    // The outer blocks are just as open; they are named now.
    for (uint32_t i = 0; i < openDepth && i < maxTrackedBlocks; ++i) open[i].closed = true;
  }
  --openDepth;
}

bool ASELoader::closes() {
  if (!endsBlock()) return false;
  markClosed();
  return true;
}

void ASELoader::markClosed() {
  if (openDepth && openDepth <= maxTrackedBlocks) open[openDepth - 1].closed = true;
}

void ASELoader::describeOpenBlocks(char* out, size_t size) const {
  size_t used = 0;
  out[0] = 0;
  for (uint32_t i = 0; i < openDepth && i < maxTrackedBlocks && used < size; ++i) {
    int n = std::snprintf(out + used, size - used, i ? ", %s at line %u" : "%s opened at line %u", open[i].keyword,
                          open[i].line);
    if (n < 0) break;
    used += size_t(n);
  }
}

void ASELoader::noteDamage(const char* text) {
  if (!damage[0]) std::snprintf(damage, sizeof damage, "%s", text);
}

bool ASELoader::nextLine() {
  readLine();
  if (openDepth == 0 || !startsObject()) return true;
  // Braces went missing above: the blocks still open end here, and the
  // object is read at the top level as if they had been closed.
  char where[160];
  describeOpenBlocks(where, sizeof where);
  char text[sizeof damage];
  if (std::snprintf(text, sizeof text, "%s is not closed before %.*s at line %u", where, int(tokenLength),
                    line + tokenStart, lineNumber) < 0)
    text[0] = 0;
  logPrintf("ASELoader::load: %s; reading goes on there.\n", text);
  noteDamage(text);
  resync = true;
  return false;
}

bool ASELoader::startsObject() {
  static const char* const objects[] = {"*GEOMOBJECT",   "*HELPEROBJECT", "*SHAPEOBJECT", "*CAMERAOBJECT",
                                        "*LIGHTOBJECT",  "*MATERIAL_LIST", "*SCENE",      "*GROUP"};
  findToken();
  if (tokenLength < 6 || line[tokenStart] != '*') return false;
  for (const char* object : objects)
    if (std::strlen(object) == tokenLength && std::memcmp(object, line + tokenStart, tokenLength) == 0) return true;
  return false;
}
