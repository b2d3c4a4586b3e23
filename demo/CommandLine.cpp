#include "demo/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demo/SetupDialog.h"

bool CommandLine::next() {
  if (++index >= argc) return false;
  current = argv[index];
  inlineValue = nullptr;
  if (current.rfind("--", 0) == 0) {
    size_t equals = current.find('=');
    if (equals != std::string::npos) {
      inlineValue = argv[index] + equals + 1;
      current.resize(equals);
    }
  } else if (current == "-h") {
    current = "--help";
  }
  return true;
}

bool CommandLine::noValue(std::string& error) const {
  if (inlineValue) error = current + " takes no value, but was given '" + inlineValue + "'";
  return !inlineValue;
}

const char* CommandLine::value(std::string& error) {
  if (inlineValue) return inlineValue;
  if (index + 1 >= argc) {
    error = current + " needs a value";
    return nullptr;
  }
  return argv[++index];
}

std::string CommandLine::unknown() const {
  return current.rfind("-", 0) == 0 ? "unknown option '" + current + "'"
                                    : "unexpected argument '" + current + "' (options start with --)";
}

std::string optionError(const char* pattern, const std::string& option, const char* text) {
  char line[512];
  std::snprintf(line, sizeof line, pattern, option.c_str(), text);
  return line;
}

bool readWholeNumber(const char* text, int64_t low, int64_t high, int64_t& value) {
  if (!text || *text < '0' || *text > '9') return false;
  errno = 0;
  char* end = nullptr;
  long long parsed = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

bool readSeconds(const char* text, double low, double high, double& value) {
  if (!text || !*text) return false;
  for (const char* c = text; *c; ++c)
    if ((*c < '0' || *c > '9') && *c != '.') return false;
  char* end = nullptr;
  double parsed = std::strtod(text, &end);
  if (*end != '\0' || !std::isfinite(parsed) || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

namespace {

void aspectText(int index, char (&text)[32]) {
  std::snprintf(text, sizeof text, "%d:%d", int(aspectRatios[index][0]), int(aspectRatios[index][1]));
}

const int aspectCount = int(sizeof(aspectRatios) / sizeof(aspectRatios[0]));

}  // namespace

int readAspect(const char* text) {
  for (int i = 0; i < aspectCount; ++i) {
    char offered[32];
    aspectText(i, offered);
    if (text && std::strcmp(offered, text) == 0) return i;
  }
  return -1;
}

std::string aspectChoices() {
  std::string list;
  for (int i = 0; i < aspectCount; ++i) {
    char offered[32];
    aspectText(i, offered);
    list += i ? std::string(", ") + offered : std::string(offered);
  }
  return list;
}
