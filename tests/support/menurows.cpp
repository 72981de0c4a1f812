#include "support/menurows.h"

#include "support/menuharness.h"
#include "support/testfiles.h"

namespace menucases {

const std::wstring entryTexts[6] = {L"", L"Share with Tamvera Sync", L"Sync to this device", L"Cancel receiving",
                                    L"Remove from this device", L"Remove from all devices"};
const wchar_t* const outsideGateLine = L"Selective Sync: inSyncFolder(0) isSelectiveFolder(0) isOwner(1)";

std::wstring Root(const std::wstring& base, int type, int mode, std::optional<std::wstring> owner,
                  bool noRemoveFromAll) {
  MakeSyncRoot(base + L"\\Sync", FolderRecord(type, mode, owner.value_or(CurrentUser()), noRemoveFromAll));
  return base + L"\\Sync";
}
std::wstring File(const std::wstring& path) { return WriteBytes(path, "content"), path; }
std::wstring Folder(const std::wstring& path) { return CreateFolder(path), path; }
std::wstring Placeholder(const std::wstring& path, const char* state) { return MakePlaceholder(path, state), path; }
std::wstring SwappedCase(std::wstring text) {
  for (wchar_t& c : text) c = iswupper(c) ? towlower(c) : towupper(c);
  return text;
}
std::wstring BeyondMaxPath(const std::wstring& root) {
  std::wstring folder = root + L"\\";
  CreateDirectoryW((L"\\\\?\\" + folder.append(259 - folder.size(), L'd')).c_str(), nullptr);
  return folder + std::wstring(40, L'x');
}

namespace {
const char* const at40 = "d10:kvx_statusi40ee";
}  // namespace

const std::vector<MenuCase> menuCases = {
    {"FileOutsideSyncFolders", [](auto& b) { return Paths{File(b + L"\\a.txt")}; }, "1", outsideGateLine},
    {"RootNotInsideAnother", [](auto& b) { return Paths{Root(b)}; }, "1", outsideGateLine},
    {"ModeZero", [](auto& b) { return Paths{File(Root(b, 2, 0) + L"\\a.txt")}; }, "1",
     L"Selective Sync: inSyncFolder(1) isSelectiveFolder(0) isOwner(1)"},
    {"OwnerDiffersInCaseOnly", [](auto& b) { return Paths{File(Root(b, 2, 1, SwappedCase(CurrentUser())) + L"\\a")}; },
     "1", L"Selective Sync: inSyncFolder(1) isSelectiveFolder(1) isOwner(0)"},
    {"EmptyOwner", [](auto& b) { return Paths{File(Root(b, 2, 1, L"") + L"\\a.txt")}; }, "1 4 5"},
    {"OrdinaryFileTypeTwo", [](auto& b) { return Paths{File(Root(b) + L"\\a.txt")}; }, "1 4 5"},
    {"PlaceholderAt40", [](auto& b) { return Paths{Placeholder(Root(b) + L"\\x.docx.tmvs", at40)}; }, "1 3 5-"},
    {"CapitalPlaceholderExtension", [](auto& b) { return Paths{Placeholder(Root(b) + L"\\X.DOCX.TMVS", at40)}; },
     "1 3 5-"},
    {"PlaceholderWithoutProgressTypeTwo",
     [](auto& b) { return Paths{Placeholder(Root(b) + L"\\x.tmvs", "d8:kvx_typei1ee")}; }, "1 2 5"},
    {"PlaceholderWithoutProgressTypeOne", [](auto& b) { return Paths{Placeholder(Root(b, 1) + L"\\x.tmvs", "de")}; },
     "1 2 5-"},
    {"Folder", [](auto& b) { return Paths{Folder(Root(b) + L"\\Docs")}; }, "1 2 4 5"},
    {"RootInsideAnotherUsesItsOwnRecord",
     [](auto& b) {
       MakeSyncRoot(Root(b, 2, 0) + L"\\In", FolderRecord(2, 1, CurrentUser()));
       return Paths{b + L"\\Sync\\In"};
     },
     "1 2 4 5"},
    {"RemoveFromAllDevicesDisabled", [](auto& b) { return Paths{File(Root(b, 2, 1, {}, true) + L"\\a")}; }, "1 4"},
    {"MixedSelection",
     [](auto& b) {
       const std::wstring r = Root(b);
       return Paths{File(r + L"\\a.txt"), Placeholder(r + L"\\w.tmvs", "de"), Placeholder(r + L"\\r.tmvs", at40),
                    Folder(r + L"\\Docs")};
     },
     "1 2 3 4 5-"},
    {"SharingSwitchedOffByDword", [](auto& b) { return Paths{File(Root(b) + L"\\a")}; }, "4 5", nullptr, REG_DWORD},
    {"SharingSwitchStoredAsString", [](auto& b) { return Paths{File(Root(b) + L"\\a")}; }, "1 4 5", nullptr, REG_SZ},
    {"NothingAtAll", [](auto& b) { return Paths{File(b + L"\\a.txt")}; }, "", outsideGateLine, REG_DWORD},
    {"UnreadableFirstItem", [](auto& b) { return Paths{b + L"\\gone.txt", File(Root(b) + L"\\a.txt")}; }, "1", outsideGateLine},
    // Wine counts an empty list as one nameless item; either way nothing is scanned.
    {"ZeroItems", [](auto&) { return Paths{}; }, "1", outsideGateLine},
    {"PathLongerThanMaxPathIsNotCutShort", [](auto& b) { return Paths{BeyondMaxPath(Root(b))}; }, "1", outsideGateLine},
};


}  // namespace menucases
