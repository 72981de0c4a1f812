#include "arguments.h"

#include <algorithm>

namespace {
bool Contains(const std::vector<std::wstring>& names, const std::wstring& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}
}  // namespace

Arguments::Arguments(const std::vector<std::wstring>& arguments, const std::vector<std::wstring>& valueOptions,
                     const std::vector<std::wstring>& flags) {
  bool optionsEnded = false;
  for (size_t index = 0; index < arguments.size(); ++index) {
    const std::wstring& argument = arguments[index];
    if (optionsEnded || argument.size() < 2 || argument.compare(0, 2, L"--") != 0) {
      positional.push_back(argument);
    } else if (argument == L"--") {
      optionsEnded = true;
    } else if (Contains(flags, argument)) {
      options[argument];
    } else if (Contains(valueOptions, argument)) {
      if (index + 1 == arguments.size()) {
        error = argument + L" needs a value";
        return;
      }
      options[argument] = arguments[++index];
    } else {
      error = L"unknown option " + argument;
      return;
    }
  }
}

std::wstring Arguments::Value(const std::wstring& option, const std::wstring& fallback) const {
  const auto found = options.find(option);
  return found == options.end() ? fallback : found->second;
}
