#pragma once
// GNU-style long options for the demo's programs: "--name", "--name value" or
// "--name=value", with "-h" standing for "--help". The value readers take
// plain text only (no sign, blanks or trailing characters); every refusal
// comes back as one line that names the option and the text it was given.

#include <cstdint>
#include <string>

class CommandLine {
 public:
  CommandLine(int argc, char** argv) : argc(argc), argv(argv) {}

  // Steps to the next argument; false after the last.
  bool next();
  // The current option's name ("--mode"), without any "=value".
  const std::string& name() const { return current; }
  bool is(const char* option) const { return current == option; }

  // For a switch: false, with the reason, when it was given "=value".
  bool noValue(std::string& error) const;
  // The option's value, from "=value" or the next argument; null, with the
  // reason, when there is none.
  const char* value(std::string& error);
  // The reason to refuse the current argument: an unknown option, or a word
  // where an option should be.
  std::string unknown() const;

 private:
  int argc;
  char** argv;
  int index = 0;
  std::string current;
  const char* inlineValue = nullptr;
};

// "%s needs ..., not '%s'" with the option's name and the refused text.
std::string optionError(const char* pattern, const std::string& option, const char* text);

// Digits only, inside [low, high].
bool readWholeNumber(const char* text, int64_t low, int64_t high, int64_t& value);
// Digits with an optional fraction, inside [low, high].
bool readSeconds(const char* text, double low, double high, double& value);
// One of the launcher's aspect ratios as its combo box writes it ("16:9"):
// its index into aspectRatios, or -1.
int readAspect(const char* text);
// The launcher's ratios as a list for messages: "4:3, 16:10, 16:9, 5:4".
std::string aspectChoices();
