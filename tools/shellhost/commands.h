#pragma once
#include <string>
#include <vector>

// One command of the tool: its name, a usage block for --help, and its body,
// which gets the arguments after the name and returns the exit code.
struct Command {
  const wchar_t* name;
  const wchar_t* usage;
  int (*run)(const std::vector<std::wstring>& arguments);
};

extern const Command commandCommand;
extern const Command iconCommand;
extern const Command invokeCommand;
extern const Command menuCommand;
