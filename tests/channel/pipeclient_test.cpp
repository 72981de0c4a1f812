// Finding the application: its install location in the registry and the
// pipe of whichever installation is running.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "channel/pipeclient.h"
#include "fakeapp.h"

namespace {

struct LocationCase {
  const char* name;
  DWORD type;
  size_t length;
  bool terminated;
  bool readable;
};

class InstallLocation : public ::testing::TestWithParam<LocationCase> {};

TEST_P(InstallLocation, IsReadOnlyAsAPlainStringThatFitsThePathLimit) {
  const LocationCase& c = GetParam();
  std::wstring value = L"C:\\Apps\\";
  value.resize(c.length, L'x');
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    ScopedRegistryKey key(root, uninstallKey);
    const DWORD bytes = static_cast<DWORD>((value.size() + (c.terminated ? 1 : 0)) * sizeof(wchar_t));
    ASSERT_TRUE(key.SetRaw(L"InstallLocation", c.type, value.c_str(), bytes));
    EXPECT_EQ(ReadInstallLocation(root), c.readable ? value : std::wstring()) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, InstallLocation,
    ::testing::Values(LocationCase{"short", REG_SZ, 20, true, true},
                      LocationCase{"259 characters", REG_SZ, 259, true, true},
                      LocationCase{"260 characters", REG_SZ, 260, true, false},
                      LocationCase{"260 characters without NUL", REG_SZ, 260, false, false},
                      LocationCase{"259 characters without NUL", REG_SZ, 259, false, true},
                      LocationCase{"expandable", REG_EXPAND_SZ, 20, true, false},
                      LocationCase{"binary", REG_BINARY, 20, true, false}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

TEST(InstallLocationKey, MissingKeyOrValueReadsAsEmpty) {
  RegDeleteTreeW(HKEY_CURRENT_USER, uninstallKey);
  EXPECT_EQ(ReadInstallLocation(HKEY_CURRENT_USER), L"");
  ScopedRegistryKey key(HKEY_CURRENT_USER, uninstallKey);
  ASSERT_TRUE(key.SetString(L"DisplayName", L"Tamvera Sync"));
  EXPECT_EQ(ReadInstallLocation(HKEY_CURRENT_USER), L"");
}

// A presence mutex held by the test for its lifetime.
class PresenceMutex {
 public:
  explicit PresenceMutex(const wchar_t* name) : mutex(CreateMutexW(nullptr, FALSE, name)) {}
  ~PresenceMutex() {
    if (mutex) CloseHandle(mutex);
  }
  bool Created() const { return mutex != nullptr; }

 private:
  HANDLE mutex;
};

struct PipeCase {
  InstallScope scope;
  bool userRunning;
  bool serviceRunning;
  const wchar_t* expected;
};

class PipeSelection : public ::testing::TestWithParam<PipeCase> {};

TEST_P(PipeSelection, FollowsTheScopeAndPrefersTheUserApplication) {
  const PipeCase& c = GetParam();
  std::unique_ptr<PresenceMutex> user, service;
  if (c.userRunning) user = std::make_unique<PresenceMutex>(L"Local\\pipesynccmd_sync");
  if (c.serviceRunning) service = std::make_unique<PresenceMutex>(L"Global\\pipesynccmd_sync");
  ASSERT_TRUE(!user || user->Created());
  ASSERT_TRUE(!service || service->Created());
  EXPECT_EQ(SelectCommandPipe(c.scope), c.expected);
}

constexpr wchar_t userPipe[] = L"\\\\.\\pipe\\synccmd_sync";
constexpr wchar_t servicePipe[] = L"\\\\.\\pipe\\syncsvccmd_sync";

INSTANTIATE_TEST_SUITE_P(Scopes, PipeSelection,
                         ::testing::Values(PipeCase{InstallScope::Undecided, true, true, userPipe},
                                           PipeCase{InstallScope::Undecided, false, true, servicePipe},
                                           PipeCase{InstallScope::Undecided, false, false, L""},
                                           PipeCase{InstallScope::User, true, true, userPipe},
                                           PipeCase{InstallScope::User, false, true, L""},
                                           PipeCase{InstallScope::Service, true, false, L""},
                                           PipeCase{InstallScope::Service, true, true, servicePipe}));

}  // namespace
