#pragma once
#include <map>
#include <string>
#include <vector>

// A command's arguments: positional ones, and "--name value" options of the
// names the command declares. Flags without a value are declared with an
// empty value name.
class Arguments {
 public:
  // valueOptions: options followed by a value; flags: options without one.
  Arguments(const std::vector<std::wstring>& arguments, const std::vector<std::wstring>& valueOptions,
            const std::vector<std::wstring>& flags);

  const std::wstring& Error() const { return error; }
  const std::vector<std::wstring>& Positional() const { return positional; }
  bool Has(const std::wstring& option) const { return options.count(option) != 0; }
  std::wstring Value(const std::wstring& option, const std::wstring& fallback = {}) const;

 private:
  std::vector<std::wstring> positional;
  std::map<std::wstring, std::wstring> options;
  std::wstring error;
};
