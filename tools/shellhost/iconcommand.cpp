// shellhost icon: what the icon handler gives Explorer for each path.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <cstdio>
#include <set>

#include "arguments.h"
#include "commands.h"
#include "console.h"
#include "contactsheet.h"
#include "extensionhost.h"
#include "pngimage.h"

namespace {

using Microsoft::WRL::ComPtr;

constexpr unsigned userIconClass = 1;
constexpr unsigned machineIconClass = 6;
// Explorer's own request: the jumbo size and the small one.
constexpr UINT explorerIconSizes = MAKELONG(256, 16);

// NAME-SIDE.png in the folder, with a counter when two paths share a name.
class OutputNames {
 public:
  explicit OutputNames(std::wstring folder) : folder(std::move(folder)) {}
  std::wstring For(const std::wstring& path, UINT side) {
    std::wstring name = PathFindFileNameW(path.c_str());
    std::wstring candidate = name;
    for (unsigned copy = 2; !used.insert(candidate + L"-" + std::to_wstring(side)).second; ++copy)
      candidate = name + L"~" + std::to_wstring(copy);
    return folder + L"\\" + candidate + L"-" + std::to_wstring(side) + L".png";
  }

 private:
  std::wstring folder;
  std::set<std::wstring> used;
};

struct ExtractedIcons {
  HRESULT result = E_FAIL;
  bool noHandler = false;  // no object could be created at all
  UniqueIcon large;
  UniqueIcon small;
};

// As Explorer: a fresh object per file, Load, GetIconLocation, Extract.
ExtractedIcons ExtractIcons(ExtensionHost& host, const std::wstring& path, bool wantLarge, bool wantSmall,
                            std::wstring& message) {
  ExtractedIcons icons;
  ComPtr<IPersistFile> file;
  icons.result = host.Create({userIconClass, machineIconClass}, IID_IPersistFile,
                             reinterpret_cast<void**>(file.GetAddressOf()), message);
  icons.noHandler = FAILED(icons.result);
  if (icons.noHandler) return icons;
  ComPtr<IExtractIconW> extract;
  if (FAILED(icons.result = file->Load(path.c_str(), STGM_READ)) || FAILED(icons.result = file->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(extract.GetAddressOf())))) {
    message = L"the icon handler refuses " + path + L" (" + Hex(icons.result) + L")";
    return icons;
  }
  wchar_t location[MAX_PATH] = {};
  int index = 0;
  UINT flags = 0;
  icons.result = extract->GetIconLocation(GIL_FORSHELL, location, MAX_PATH, &index, &flags);
  if (FAILED(icons.result)) {
    message = L"GetIconLocation fails for " + path + L" (" + Hex(icons.result) + L")";
    return icons;
  }
  HICON large = nullptr, small = nullptr;
  icons.result = extract->Extract(location, static_cast<UINT>(index), wantLarge ? &large : nullptr,
                                  wantSmall ? &small : nullptr, explorerIconSizes);
  icons.large.reset(large);
  icons.small.reset(small);
  if (icons.result != S_OK) message = L"the icon handler declines " + path + L" (" + Hex(icons.result) + L")";
  return icons;
}

int RunIcon(const std::vector<std::wstring>& argumentList) {
  const Arguments arguments(argumentList, {L"--size", L"--out", L"--sheet", L"--columns", L"--dll"}, {});
  if (!arguments.Error().empty()) return UsageError(arguments.Error());
  const std::wstring size = arguments.Value(L"--size", L"both");
  if (size != L"256" && size != L"16" && size != L"both") return UsageError(L"--size takes 256, 16 or both");
  const bool wantLarge = size != L"16", wantSmall = size != L"256";
  const std::wstring out = arguments.Value(L"--out");
  if (out.empty()) return UsageError(L"icon needs --out DIR");
  if (arguments.Positional().empty()) return UsageError(L"icon needs at least one PATH");
  const unsigned columns = static_cast<unsigned>(std::wcstoul(arguments.Value(L"--columns", L"6").c_str(), nullptr, 10));
  if (columns == 0 || columns > 64) return UsageError(L"--columns takes 1 to 64");

  const DWORD outAttributes = GetFileAttributesW(out.c_str());
  if (outAttributes == INVALID_FILE_ATTRIBUTES && SHCreateDirectoryExW(nullptr, out.c_str(), nullptr) != ERROR_SUCCESS)
    return Fail(L"cannot create the folder " + out);
  if (outAttributes != INVALID_FILE_ATTRIBUTES && !(outAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return Fail(out + L" is not a folder");

  ExtensionHost host(arguments.Value(L"--dll"));
  OutputNames names(out);
  ContactSheet sheet;
  int status = 0;
  for (const std::wstring& path : arguments.Positional()) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      status = Fail(L"no such file: " + path);
      continue;
    }
    std::wstring message;
    ExtractedIcons icons = ExtractIcons(host, path, wantLarge, wantSmall, message);
    if (icons.noHandler) return Fail(message);
    if (icons.result != S_OK) {
      status = Fail(message);
      continue;
    }
    std::unique_ptr<Gdiplus::Bitmap> images[2] = {IconImage(icons.large.get()), IconImage(icons.small.get())};
    const bool wanted[2] = {wantLarge, wantSmall};
    for (int which = 0; which < 2; ++which) {
      if (!wanted[which]) continue;
      if (!images[which]) {
        status = Fail(L"no " + std::wstring(which == 0 ? L"large" : L"small") + L" icon for " + path);
        continue;
      }
      const std::wstring file = names.For(path, images[which]->GetWidth());
      if (!SavePng(*images[which], file)) {
        status = Fail(L"cannot write " + file);
        continue;
      }
      std::fwprintf(stdout, L"%ls\n", file.c_str());
    }
    sheet.Add(PathFindFileNameW(path.c_str()), std::move(images[0]), std::move(images[1]));
  }

  const std::wstring sheetFile = arguments.Value(L"--sheet");
  if (!sheetFile.empty()) {
    if (sheet.Empty() || !sheet.Save(sheetFile, columns)) return Fail(L"cannot write the sheet " + sheetFile);
    std::fwprintf(stdout, L"%ls\n", sheetFile.c_str());
  }
  return status;
}

}  // namespace

const Command iconCommand = {
    L"icon",
    L"  icon PATH... --out DIR [--size 256|16|both] [--sheet FILE] [--columns N] [--dll PATH]\n"
    L"      Loads each path into a new icon handler object (IPersistFile::Load),\n"
    L"      asks GetIconLocation and then Extract for the 256- and 16-pixel icons,\n"
    L"      and writes them as NAME-256.png and NAME-16.png into DIR (created when\n"
    L"      missing). --sheet also writes all icons side by side, N to a row\n"
    L"      (default 6), on a checkerboard that shows their transparency.\n"
    L"      Exit code 0 when every path gave its icons, 1 otherwise, 2 for usage.\n",
    RunIcon,
};
