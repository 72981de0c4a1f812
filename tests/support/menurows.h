#pragma once
// The selections of the classic menu's decision table and what it shows for
// each: every menu of the DLL must decide as this table says.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace menucases {

using Paths = std::vector<std::wstring>;

// base\Sync, a synchronised folder, and the items the rows put into it.
std::wstring Root(const std::wstring& base, int type = 2, int mode = 1, std::optional<std::wstring> owner = {},
                  bool noRemoveFromAll = false);
std::wstring File(const std::wstring& path);
std::wstring Folder(const std::wstring& path);
std::wstring Placeholder(const std::wstring& path, const char* state);
std::wstring SwappedCase(std::wstring text);
// A folder of exactly 259 characters and, beside it, a name that starts with its path.
std::wstring BeyondMaxPath(const std::wstring& root);

struct MenuCase {
  const char* name;
  std::function<Paths(const std::wstring& base)> selection;
  const char* entries;                // offsets in order, "-" marks a greyed one
  const wchar_t* gateLine = nullptr;  // logged after the entries
  DWORD sharing = REG_NONE;           // the share switch, stored as 0
};

extern const wchar_t* const outsideGateLine;
extern const std::vector<MenuCase> menuCases;

// The English texts of the entries by offset (0 is no entry).
extern const std::wstring entryTexts[6];

}  // namespace menucases
