// The log as a host of the DLL meets it: the per-user switch read at every
// object creation and release, nothing written before the first class
// object. Other test programs may log into the same file, so only this
// process's lines count.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/logfiles.h"
#include "support/dllundertest.h"
#include "support/importhook.h"

namespace {
using Messages = std::vector<std::wstring>;

class LogThroughDll : public ::testing::Test {
 protected:
  void SetUp() override { logSwitch.Remove(); }
  Messages Logged() const { return MessagesOf(ReadLogLines(folder.LogPath()), OwnSourceTag()); }
  IUnknown* Create(unsigned classIndex) const {
    IUnknown* object = nullptr;
    EXPECT_EQ(dll->CreateObject(TestClassId(classIndex), IID_PPV_ARGS(&object)), S_OK);
    return object;
  }

  LogSwitch logSwitch{HKEY_CURRENT_USER};
  LogFolder folder;
  std::optional<DllUnderTest> dll{std::in_place};
};

LSTATUS WINAPI RefusedCreateKey(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD) {
  return ERROR_ACCESS_DENIED;
}
LSTATUS WINAPI IgnoredDeleteKey(HKEY, LPCWSTR, REGSAM, DWORD) { return ERROR_SUCCESS; }

TEST_F(LogThroughDll, NothingIsWrittenBeforeTheFirstClassObject) {
  // Registration logs "RegisterServer"; here it never reaches the registry.
  ImportHook create(dll->Module(), "advapi32.dll", "RegCreateKeyExW", reinterpret_cast<void*>(&RefusedCreateKey));
  ImportHook remove(dll->Module(), "advapi32.dll", "RegDeleteKeyExW", reinterpret_cast<void*>(&IgnoredDeleteKey));
  ASSERT_TRUE(create.Installed() && remove.Installed());
  EXPECT_EQ(dll->Install(TRUE, L""), E_FAIL);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(dll->GetClassObject(TestClassId(0), IID_PPV_ARGS(&factory)), S_OK);
  EXPECT_EQ(dll->Install(TRUE, L""), E_FAIL);
  factory->Release();
  EXPECT_EQ(Logged(), (Messages{L"=== start ===", L"RegisterServer"})) << "no switch value means on";
}

TEST_F(LogThroughDll, TheSwitchTakesEffectAtTheNextObject) {
  logSwitch.SetDword(0);
  IUnknown* menu = Create(0);
  Create(6)->Release();
  EXPECT_EQ(GetFileAttributesW(folder.LogPath().c_str()), INVALID_FILE_ATTRIBUTES) << "off creates no file";
  logSwitch.SetDword(1);
  IUnknown* icon = Create(1);
  ASSERT_FALSE(Logged().empty());
  EXPECT_EQ(Logged().front(), L"=== start ===") << "written at once by the creation";
  logSwitch.SetDword(0);
  icon->Release();
  const Messages ended = Logged();
  EXPECT_EQ(ended.back(), L"==== end ====");
  menu->Release();
  EXPECT_EQ(Logged(), ended) << "off stays off";
  logSwitch.Set(REG_SZ, {'0', 0, 0, 0});
  menu = Create(5);
  EXPECT_EQ(Logged().back(), L"=== start ===") << "a text value counts as on";
  menu->Release();
  dll.reset();
  EXPECT_EQ(Logged().back(), L"==== end ====") << "unloading the DLL ends the log";
}
}  // namespace
