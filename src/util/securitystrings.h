#pragma once
// A path's owner, group and access list as SDDL text, with account aliases
// such as BA or SY spelled out as full SIDs.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

struct SecurityStrings {
  std::wstring owner;       // "O:S-1-..."
  std::wstring group;       // "G:S-1-..."
  std::wstring accessList;  // "D:..."
};

// 0, or the Win32 code of the first call that failed.
DWORD GetSecurityStrings(const std::wstring& path, SecurityStrings& record);

// Turns an alias into its SID text; false leaves the alias as it is.
using AliasResolver = std::function<bool(const std::wstring& alias, std::wstring& sid)>;

// Replaces the account field of every access-control entry
// "(type;flags;rights;object;inherited object;account)" when it is made of
// capital letters only.
std::wstring ExpandAccountAliases(std::wstring_view sddl, const AliasResolver& resolve);
