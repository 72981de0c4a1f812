// Every registry value the DLL reads, stored with the wrong type, the wrong
// size, empty or far too long: the log switch stays on, the share entry
// follows only a DWORD that reads as 0, and an install location counts
// only as the plain string it begins with.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "hostile/hostilesupport.h"
#include "support/logfiles.h"
#include "channel/scopechoice.h"
#include "support/testfiles.h"

namespace {

constexpr wchar_t settingsKey[] = L"Software\\Tamvera\\Sync";
constexpr wchar_t uninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamvera Sync";

std::vector<BYTE> WideBytes(const std::wstring& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
  return std::vector<BYTE>(bytes, bytes + text.size() * sizeof(wchar_t));
}

struct Shape {
  const char* name;
  DWORD type;
  std::vector<BYTE> data;
  bool readsAsDwordZero;  // the share switch's reading: a DWORD whose bytes give 0
  bool readsAsLocation;   // a plain string that begins with some text
};

const std::vector<Shape>& Shapes() {
  static const std::vector<Shape> shapes = {
      {"DwordOfNoBytes", REG_DWORD, {}, true, false},
      {"DwordOfTwoZeroBytes", REG_DWORD, {0, 0}, true, false},
      {"DwordOfEightZeroBytes", REG_DWORD, std::vector<BYTE>(8, 0), false, false},
      {"QwordZero", REG_QWORD, std::vector<BYTE>(8, 0), false, false},
      {"BigEndianDwordZero", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 0}, false, false},
      {"StringWithoutBytes", REG_SZ, {}, false, false},
      {"EmptyString", REG_SZ, {0, 0}, false, false},
      {"OddSizedString", REG_SZ, {'C', 0, ':'}, false, true},
      {"StringWithEmbeddedNul", REG_SZ, WideBytes(std::wstring(L"C:\\x\0junk", 9) + L'\0'), false, true},
      {"StringOfAHundredThousandCharacters", REG_SZ, WideBytes(std::wstring(100000, L'x') + L'\0'), false, false},
      {"MultiString", REG_MULTI_SZ, WideBytes(std::wstring(L"C:\\x\0\0", 6)), false, false},
      {"MegabyteOfBinary", REG_BINARY, std::vector<BYTE>(1 << 20, 0), false, false},
  };
  return shapes;
}

bool SetValue(HKEY root, const wchar_t* key, const wchar_t* name, const Shape& shape) {
  return RegSetKeyValueW(root, key, name, shape.type, shape.data.empty() ? nullptr : shape.data.data(),
                         static_cast<DWORD>(shape.data.size())) == ERROR_SUCCESS;
}

class RegistryValues : public ::testing::Test {
 protected:
  void SetUp() override { EnsureLogFolder(); }

  // The DLL fresh from disk, so that nothing decided by an earlier case stays.
  std::optional<DllUnderTest>& FreshDll() {
    dll.reset();
    EXPECT_EQ(GetModuleHandleW(DllUnderTest::Path().c_str()), nullptr) << "the DLL stayed loaded";
    dll.emplace();
    return dll;
  }

  TempFolder folder;
  std::optional<DllUnderTest> dll;
};

TEST_F(RegistryValues, TheLogSwitchIsOffOnlyForAFourByteDwordZero) {
  LogSwitch logSwitch(HKEY_CURRENT_USER);
  for (const Shape& shape : Shapes()) {
    SCOPED_TRACE(shape.name);
    ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, settingsKey, L"ShellExtLog", shape));
    FreshDll();
    const size_t before = LogMessagesOfThisProcess().size();
    IUnknown* object = nullptr;
    ASSERT_EQ(
        Bounded("CreateInstance",
                [&] { return dll->CreateObject(TestClassId(1), IID_IUnknown, reinterpret_cast<void**>(&object)); }),
        S_OK);
    object->Release();
    const std::vector<std::wstring> logged = LogMessagesOfThisProcess();
    ASSERT_GT(logged.size(), before) << "the log stayed off";
    EXPECT_EQ(logged[before], L"=== start ===");
  }
  dll.reset();
}

TEST_F(RegistryValues, TheShareEntryGoesOnlyForADwordThatReadsAsZero) {
  ScopedRegistryKey settings(HKEY_CURRENT_USER, settingsKey);
  InstallLocationKey userInstall(HKEY_CURRENT_USER, folder.Path());
  WriteBytes(folder / L"a.txt", "content");
  for (const Shape& shape : Shapes()) {
    SCOPED_TRACE(shape.name);
    ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, settingsKey, L"ShellMenuFileSharingEnable", shape));
    const MenuSnapshot menu = SnapshotMenu(*FreshDll(), DropDataObject({folder / L"a.txt"}).Get());
    EXPECT_EQ(menu.result, MAKE_HRESULT(SEVERITY_SUCCESS, 0, 6));
    EXPECT_EQ(menu.entries.empty(), shape.readsAsDwordZero);
  }
  dll.reset();
}

// Which installation the menu acts for, seen from when it shows: always for
// the user's, with the user's application running for an undecided one,
// never for the service's while it does not run.
InstallScope ObservedScope(const DllUnderTest& dll, const std::wstring& file) {
  if (SnapshotMenu(dll, DropDataObject({file}).Get()).result != E_NOTIMPL) return InstallScope::User;
  HANDLE userApplication = CreateMutexW(nullptr, FALSE, L"Local\\pipesynccmd_sync");
  const bool withApplication = SnapshotMenu(dll, DropDataObject({file}).Get()).result != E_NOTIMPL;
  CloseHandle(userApplication);
  return withApplication ? InstallScope::Undecided : InstallScope::Service;
}

TEST_F(RegistryValues, AnInstallLocationCountsOnlyAsThePlainStringItBeginsWith) {
  RegDeleteTreeW(HKEY_CURRENT_USER, uninstallKey);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, uninstallKey);
  WriteBytes(folder / L"a.txt", "content");
  for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    const InstallScope present = root == HKEY_CURRENT_USER ? InstallScope::User : InstallScope::Service;
    for (const Shape& shape : Shapes()) {
      SCOPED_TRACE(std::string(shape.name) + (root == HKEY_CURRENT_USER ? " per user" : " per machine"));
      ScopedRegistryKey key(root, uninstallKey);
      ASSERT_TRUE(SetValue(root, uninstallKey, L"InstallLocation", shape));
      EXPECT_EQ(ObservedScope(*FreshDll(), folder / L"a.txt"),
                shape.readsAsLocation ? present : InstallScope::Undecided);
    }
  }
  dll.reset();
}

}  // namespace
