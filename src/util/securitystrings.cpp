#include "util/securitystrings.h"

#include <sddl.h>
#include <aclapi.h>

#include "util/uniquehandle.h"

namespace {

bool SidTextOfAlias(const std::wstring& alias, std::wstring& sidText) {
  PSID sid = nullptr;
  if (!ConvertStringSidToSidW(alias.c_str(), &sid)) return false;
  const UniqueLocalMemory sidMemory(sid);
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return false;
  const UniqueLocalMemory textMemory(text);
  sidText = text;
  return true;
}

std::wstring DescriptorText(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION part) {
  LPWSTR text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, part, &text, nullptr)) {
    return {};
  }
  const UniqueLocalMemory textMemory(text);
  return text;
}

// "O:BA" becomes "O:S-1-5-32-544"; text that does not convert stays.
std::wstring ExpandPrincipal(const std::wstring& text) {
  if (text.size() < 2) return text;
  std::wstring sid;
  return SidTextOfAlias(text.substr(2), sid) ? text.substr(0, 2) + sid : text;
}

bool IsCapital(wchar_t unit) { return unit >= L'A' && unit <= L'Z'; }

}  // namespace

std::wstring ExpandAccountAliases(std::wstring_view sddl, const AliasResolver& resolve) {
  std::wstring result;
  size_t copied = 0;
  size_t search = 0;
  while ((search = sddl.find(L'(', search)) != std::wstring_view::npos) {
    // Five fields, each up to its ';', then the account and a closing ';' or ')'.
    size_t position = search + 1;
    int fields = 0;
    while (fields < 5) {
      const size_t end = sddl.find(L';', position);
      if (end == std::wstring_view::npos) break;
      position = end + 1;
      ++fields;
    }
    // Later entries have fewer ';' after them still.
    if (fields < 5) break;
    const size_t accountStart = position;
    while (position < sddl.size() && IsCapital(sddl[position])) ++position;
    const bool matched = position < sddl.size() && (sddl[position] == L';' || sddl[position] == L')');
    if (!matched) {
      ++search;
      continue;
    }
    std::wstring sid;
    if (position > accountStart && resolve(std::wstring(sddl.substr(accountStart, position - accountStart)), sid)) {
      result.append(sddl.substr(copied, accountStart - copied));
      result.append(sid);
      copied = position;
    }
    search = position + 1;
  }
  result.append(sddl.substr(copied));
  return result;
}

DWORD GetSecurityStrings(const std::wstring& path, SecurityStrings& record) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD status =
      GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, nullptr, nullptr, &descriptor);
  if (status != ERROR_SUCCESS) return status;
  const UniqueLocalMemory descriptorMemory(descriptor);

  record.accessList = DescriptorText(descriptor, DACL_SECURITY_INFORMATION);
  if (record.accessList.empty()) return GetLastError();
  const std::wstring expanded = ExpandAccountAliases(record.accessList, SidTextOfAlias);
  PSECURITY_DESCRIPTOR check = nullptr;
  // Only text the system reads back replaces the original.
  if (ConvertStringSecurityDescriptorToSecurityDescriptorW(expanded.c_str(), SDDL_REVISION_1, &check, nullptr)) {
    const UniqueLocalMemory checkMemory(check);
    record.accessList = expanded;
  }
  record.owner = ExpandPrincipal(DescriptorText(descriptor, OWNER_SECURITY_INFORMATION));
  record.group = ExpandPrincipal(DescriptorText(descriptor, GROUP_SECURITY_INFORMATION));
  return ERROR_SUCCESS;
}
