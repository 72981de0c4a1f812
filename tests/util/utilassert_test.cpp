#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "support/childprocess.h"
#include "support/testfiles.h"
#include "util/utilassert.h"

namespace {
constexpr wchar_t childFlag[] = L"--report-assertion-child";

// Started again with the flag, this executable reports an assertion before
// any test runs.
const bool assertionChild = [] {
  if (wcsstr(GetCommandLineW(), childFlag)) ReportAssertion("strfmt", 42, utilAssertCode);
  return false;
}();

TEST(ReportAssertion, WritesOneLineToStandardErrorAndEndsTheProcess) {
  wchar_t self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  TempFolder folder;
  const std::wstring output = folder / L"stderr.txt";
  DWORD code = STILL_ACTIVE;
  {
    ChildProcess child(L"\"" + std::wstring(self) + L"\" " + childFlag, output);
    ASSERT_TRUE(child.Started());
    code = child.Wait(30000);
  }
  EXPECT_NE(code, STILL_ACTIVE);
  EXPECT_NE(code, 0u);
  EXPECT_EQ(ReadBytes(output), "\nassert failed strfmt:42 (33947648)\n");
  EXPECT_FALSE(assertionChild);
}
}  // namespace
