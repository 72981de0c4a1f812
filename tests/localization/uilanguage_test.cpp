// Run once per user-interface language; the ctest entry sets the locale
// through the environment and names the language Wine should report.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <array>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "localization/languagepack.h"
#include "localization/texttable.h"
#include "support/dllundertest.h"
#include "support/testfiles.h"
#include "util/sizeunits.h"

using Microsoft::WRL::ComPtr;

namespace {

// Texts 261, 262, 258, 260, 259: menu commands 1 to 5 in that order.
using MenuTexts = std::array<std::wstring, 5>;
constexpr size_t menuTextNumbers[5] = {261, 262, 258, 260, 259};

const MenuTexts english = {L"Share with Tamvera Sync", L"Sync to this device", L"Cancel receiving",
                           L"Remove from this device", L"Remove from all devices"};
const std::map<std::wstring, MenuTexts> expectedTexts = {
    {L"de-AT",
     {L"Mit Tamvera Sync teilen", L"Auf dieses Ger\u00E4t synchronisieren", L"Empfang abbrechen",
      L"Von diesem Ger\u00E4t entfernen", L"Von allen Ger\u00E4ten entfernen"}},
    {L"pt-BR",
     {L"Compartilhar com Tamvera Sync", L"Sincronizar neste dispositivo", L"Cancelar recebimento",
      L"Remover deste dispositivo", L"Remover de todos os dispositivos"}},
    {L"pt-PT", english},
    {L"en-US", english}};

class UiLanguage : public testing::Test {
 protected:
  void SetUp() override {
    const char* language = std::getenv("SYNCSHELL_EXPECTED_UI_LANGUAGE");
    ASSERT_TRUE(language && expectedTexts.contains(Wide(language))) << "run through ctest, which sets the language";
    // Proves the environment reached the process at all.
    ULONG count = 0;
    wchar_t names[256] = {};
    ULONG size = 256;
    ASSERT_TRUE(GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names, &size));
    ASSERT_EQ(std::wstring(names), Wide(language));
    expected = expectedTexts.at(names);
  }

  MenuTexts expected;
};

}  // namespace

TEST_F(UiLanguage, ThreadsLoadingAtOnceAllSeeTheCompleteTranslation) {
  std::vector<MenuTexts> seen(8);
  {
    std::vector<std::jthread> threads;
    for (MenuTexts& texts : seen) {
      threads.emplace_back([&texts] {
        LoadTextsOnce();
        for (size_t k = 0; k < 5; ++k) texts[k] = GetText(menuTextNumbers[k]);
      });
    }
  }
  for (const MenuTexts& texts : seen) EXPECT_EQ(texts, expected);
  EXPECT_STREQ(SizeUnitName(SizeUnit::Kilobytes), GetText(3));
}

TEST_F(UiLanguage, DllMenuAndHelpTextsFollowTheLanguage) {
  // A per-user installation lets the menu appear without a running application.
  ScopedRegistryKey install(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamvera Sync");
  install.SetString(L"InstallLocation", ProgramDirectory());
  DllUnderTest dll;
  ComPtr<IContextMenu> menu;
  ASSERT_HRESULT_SUCCEEDED(dll.CreateObject(TestClassId(0), IID_PPV_ARGS(&menu)));
  for (UINT_PTR command = 1; command <= 5; ++command) {
    wchar_t wide[128] = {};
    ASSERT_HRESULT_SUCCEEDED(menu->GetCommandString(command, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(wide), 128));
    EXPECT_EQ(wide, expected[command - 1]);
    char narrow[256] = {};
    ASSERT_HRESULT_SUCCEEDED(menu->GetCommandString(command, GCS_HELPTEXTA, nullptr, narrow, 256));
    EXPECT_EQ(std::string(narrow), Utf8(expected[command - 1])) << "the narrow help text is UTF-8";
  }

  // The shell's own data object for a plain file, as Explorer hands it over.
  TempFolder folder;
  const std::wstring file = folder / L"report.txt";
  ASSERT_TRUE(WriteBytes(file, "x"));
  ASSERT_HRESULT_SUCCEEDED(CoInitialize(nullptr));
  {
    PIDLIST_ABSOLUTE item = nullptr;
    ComPtr<IShellFolder> parent;
    PCUITEMID_CHILD child = nullptr;
    ComPtr<IDataObject> selection;
    ComPtr<IShellExtInit> init;
    ASSERT_HRESULT_SUCCEEDED(SHParseDisplayName(file.c_str(), nullptr, &item, 0, nullptr));
    ASSERT_HRESULT_SUCCEEDED(SHBindToParent(item, IID_PPV_ARGS(&parent), &child));
    ASSERT_HRESULT_SUCCEEDED(parent->GetUIObjectOf(nullptr, 1, &child, IID_IDataObject, nullptr, &selection));
    CoTaskMemFree(item);
    ASSERT_HRESULT_SUCCEEDED(menu.As(&init));
    ASSERT_HRESULT_SUCCEEDED(init->Initialize(nullptr, selection.Get(), nullptr));
    HMENU popup = CreatePopupMenu();
    ASSERT_HRESULT_SUCCEEDED(menu->QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL));
    wchar_t text[128] = {};
    GetMenuStringW(popup, 0, text, 128, MF_BYPOSITION);
    EXPECT_EQ(text, expected[0]);
    DestroyMenu(popup);
    menu.Reset();
  }
  CoUninitialize();
}
