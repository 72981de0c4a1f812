// The placeholder icon as Explorer asks for it, through the built DLL: an
// icon object from DllGetClassObject and its factory, Load, GetIconLocation,
// Extract at 16, 32, 48 or 256 pixels, Release, before the next icon's object
// is made. Over a folder of 1,000 placeholders of 20 types and every progress
// step, with the image cache warm (every type and step was seen by objects
// released since) and cold (the first icon after DllCanUnloadNow emptied it).
// Beside each: the floor (the state and record reads, one copy, one draw and
// one conversion of the image at that size) and the shell's own icon lookup
// for a plain file of the same type at the same size.
#include <windows.h>
#include <commctrl.h>
#include <commoncontrols.h>
#include <gdiplus.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/benchreport.h"
#include "support/shellfixture.h"
#include "util/strfmt.h"

namespace {

constexpr int typeCount = 20;
// The last type is a folder placeholder.
const wchar_t* const typeExtensions[typeCount] = {L".docx", L".xlsx", L".pptx", L".pdf", L".txt",
                                                  L".jpg",  L".png",  L".mp3",  L".mp4", L".zip",
                                                  L".csv",  L".html", L".json", L".xml", L".psd",
                                                  L".mov",  L".wav",  L".odt",  L".log", L""};
constexpr int folderType = typeCount - 1;
constexpr int stepCount = 22;  // none, then 0 to 100 in steps of 5
int StepProgress(int step) { return step == 0 ? -1 : (step - 1) * 5; }

struct Placeholder {
  std::wstring path;
  int type;
  int progress;
};

constexpr int sides[] = {16, 32, 48, 256};

// --- the measured icon, through the DLL's exports ---

IPersistFile* NewIconObject(const DllUnderTest& dll) {
  IPersistFile* file = nullptr;
  if (FAILED(dll.CreateObject(userIconClass, IID_IPersistFile, reinterpret_cast<void**>(&file)))) return nullptr;
  return file;
}

HICON ExtractIcon(IExtractIconW* extract, const std::wstring& path, int side) {
  wchar_t location[MAX_PATH] = {};
  int index = 0;
  UINT flags = 0;
  extract->GetIconLocation(GIL_FORSHELL, location, MAX_PATH, &index, &flags);
  HICON icon = nullptr;
  // Only the large icon is asked for, at the side measured.
  extract->Extract(path.c_str(), 0, &icon, nullptr, MAKELONG(side, 16));
  return icon;
}

// Makes the object, loads the path, extracts the icon and releases the
// object, as Explorer does for each icon. False when no icon came.
bool ProductIcon(const DllUnderTest& dll, const std::wstring& path, int side) {
  IPersistFile* file = NewIconObject(dll);
  if (!file) return false;
  file->Load(path.c_str(), STGM_READ);
  IExtractIconW* extract = nullptr;
  file->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(&extract));
  HICON icon = ExtractIcon(extract, path, side);
  extract->Release();
  file->Release();
  if (icon) DestroyIcon(icon);
  return icon != nullptr;
}

// --- the floor ---

// The least work that turns an ARGB image into an icon: a 32-bit colour
// bitmap holding the rows bottom-up and a mask of no content.
HICON ConvertFloor(Gdiplus::Bitmap& image) {
  const UINT width = image.GetWidth();
  const UINT height = image.GetHeight();
  BITMAPV5HEADER header{};
  header.bV5Size = sizeof header;
  header.bV5Width = static_cast<LONG>(width);
  header.bV5Height = static_cast<LONG>(height);
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000;
  header.bV5GreenMask = 0x0000FF00;
  header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HBITMAP color =
      CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!color) return nullptr;
  Gdiplus::Rect area(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  Gdiplus::BitmapData data{};
  if (image.LockBits(&area, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) == Gdiplus::Ok) {
    for (UINT row = 0; row < height; ++row)
      memcpy(static_cast<BYTE*>(bits) + (height - 1 - row) * width * 4,
             static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(row) * data.Stride, width * 4);
    image.UnlockBits(&data);
  }
  HBITMAP mask = CreateBitmap(static_cast<int>(width), static_cast<int>(height), 1, 1, nullptr);
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmMask = mask;
  info.hbmColor = color;
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(mask);
  DeleteObject(color);
  return icon;
}

// A file-type image and the status marks at one size, made once.
struct FloorImages {
  std::unique_ptr<Gdiplus::Bitmap> faded;
  std::vector<std::unique_ptr<Gdiplus::Bitmap>> overlays;  // by step
};

// The shell's icon of the type from its image list of that side.
HICON ShellIcon(const std::wstring& path, int side, bool useAttributes = false, DWORD attributes = 0) {
  const UINT extra = useAttributes ? SHGFI_USEFILEATTRIBUTES : 0;
  SHFILEINFOW info{};
  if (!SHGetFileInfoW(path.c_str(), attributes, &info, sizeof info, SHGFI_SYSICONINDEX | extra)) return nullptr;
  const int listKind = side <= 16 ? SHIL_SMALL : side <= 32 ? SHIL_LARGE : side <= 48 ? SHIL_EXTRALARGE : SHIL_JUMBO;
  IImageList* list = nullptr;
  if (FAILED(SHGetImageList(listKind, __uuidof(IImageList), reinterpret_cast<void**>(&list)))) return nullptr;
  HICON icon = nullptr;
  list->GetIcon(info.iIcon, ILD_NORMAL, &icon);
  list->Release();
  return icon;
}

// An ARGB image of the icon's size; only the size matters to the cost.
std::unique_ptr<Gdiplus::Bitmap> ImageOfIcon(HICON icon) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return nullptr;
  BITMAP bitmap{};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  auto image = std::make_unique<Gdiplus::Bitmap>(bitmap.bmWidth, bitmap.bmHeight, PixelFormat32bppARGB);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return image;
}

void DrawMark(Gdiplus::Bitmap& image, int progress) {
  const INT side = static_cast<INT>(image.GetHeight());
  Gdiplus::Graphics graphics(&image);
  const Gdiplus::SolidBrush disc(Gdiplus::Color(0x96FFFFFF));
  graphics.FillEllipse(&disc, side * 14 / 100, side * 14 / 100, side * 70 / 100, side * 70 / 100);
  const Gdiplus::Pen ring(Gdiplus::Color(0xFFB3B3B3), static_cast<float>(side / 16));
  graphics.DrawEllipse(&ring, side * 21 / 100, side * 21 / 100, side * 56 / 100, side * 56 / 100);
  if (progress > 0) {
    const Gdiplus::Pen arc(Gdiplus::Color(0xFF00C3FF), static_cast<float>(side / 16) * 1.5f);
    graphics.DrawArc(&arc, side * 21 / 100, side * 21 / 100, side * 56 / 100, side * 56 / 100, -92.0f,
                     static_cast<float>(progress) * 3.6f);
  }
}

FloorImages MakeFloorImages(const std::wstring& plainFile, int side) {
  FloorImages images;
  HICON icon = ShellIcon(plainFile, side);
  images.faded = ImageOfIcon(icon);
  if (icon) DestroyIcon(icon);
  if (!images.faded) return images;
  for (int step = 0; step < stepCount; ++step) {
    auto overlay = std::make_unique<Gdiplus::Bitmap>(images.faded->GetWidth(), images.faded->GetHeight(),
                                                     PixelFormat32bppARGB);
    DrawMark(*overlay, StepProgress(step) < 0 ? 0 : StepProgress(step));
    images.overlays.push_back(std::move(overlay));
  }
  return images;
}

// The state and record reads, then the icon: the faded image as it is where
// the selective folder shows no mark, else one copy and one draw of the mark.
void FloorIcon(const Placeholder& placeholder, const FloorImages& images) {
  ReadStreamFloor(placeholder.path + L":com.tamvera.Sync");
  const std::wstring name = placeholder.path.substr(0, placeholder.path.size() - 5);
  const std::wstring root = FindRootFloor(name);
  if (!root.empty()) ReadStreamFloor(root + L"\\.sync\\ID:com.tamvera.Sync");
  HICON icon = nullptr;
  if (placeholder.progress < 0) {
    icon = ConvertFloor(*images.faded);
  } else {
    Gdiplus::Bitmap& faded = *images.faded;
    std::unique_ptr<Gdiplus::Bitmap> copy(faded.Clone(0, 0, static_cast<INT>(faded.GetWidth()),
                                                      static_cast<INT>(faded.GetHeight()), PixelFormat32bppARGB));
    {
      Gdiplus::Graphics graphics(copy.get());
      graphics.DrawImage(images.overlays[static_cast<size_t>(placeholder.progress / 5 + 1)].get(),
                         Gdiplus::Rect(0, 0, static_cast<INT>(faded.GetWidth()), static_cast<INT>(faded.GetHeight())));
    }
    icon = ConvertFloor(*copy);
  }
  if (icon) DestroyIcon(icon);
}

// What a first of its type cannot avoid besides: the shell's icon for the
// type and the mark drawn once.
void ColdFloorIcon(const Placeholder& placeholder, const FloorImages& images, int side) {
  const std::wstring name = placeholder.path.substr(0, placeholder.path.size() - 5);
  const bool folder = placeholder.type == folderType;
  HICON icon = ShellIcon(name, side, true, folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL);
  if (icon) DestroyIcon(icon);
  if (placeholder.progress >= 0) {
    Gdiplus::Bitmap overlay(images.faded->GetWidth(), images.faded->GetHeight(), PixelFormat32bppARGB);
    DrawMark(overlay, placeholder.progress);
  }
  FloorIcon(placeholder, images);
}

void ShellPlainIcon(const std::wstring& plainFile, int side) {
  HICON icon = ShellIcon(plainFile, side);
  if (icon) DestroyIcon(icon);
}

// --- fixtures ---

std::vector<Placeholder> MakePlaceholders(const std::wstring& folder, int count) {
  CreateFolder(folder);
  std::vector<Placeholder> placeholders;
  for (int i = 0; i < count; ++i) {
    const int type = i % typeCount;
    const int progress = StepProgress(i % stepCount);
    const std::wstring path =
        type == folderType ? folder + FormatWideString(L"\\Album %04d.tmvs", i)
                           : folder + FormatWideString(L"\\file %04d%s.tmvs", i, typeExtensions[type]);
    std::string state = progress < 0 ? std::string() : FormatString("10:kvx_statusi%de", progress);
    state += FormatString("8:kvx_typei%de", type == folderType ? 2 : 1);
    WriteBytes(path, "");
    WriteBytes(path + L":com.tamvera.Sync", "d" + state + "e");
    placeholders.push_back({path, type, progress});
  }
  return placeholders;
}

std::vector<std::wstring> MakePlainFiles(const std::wstring& folder) {
  CreateFolder(folder);
  std::vector<std::wstring> files;
  for (int type = 0; type < typeCount; ++type) {
    if (type == folderType) {
      files.push_back(folder + L"\\Album");
      CreateFolder(files.back());
    } else {
      files.push_back(folder + L"\\sample" + typeExtensions[type]);
      WriteBytes(files.back(), "content");
    }
  }
  return files;
}

struct Timings {
  Samples product, floor, shell;
};

// Every type and every step once, each object released before the next.
void PrimeCache(const DllUnderTest& dll, const std::vector<Placeholder>& placeholders, int side) {
  for (size_t i = 0; i < static_cast<size_t>(typeCount * stepCount) && i < placeholders.size(); ++i)
    ProductIcon(dll, placeholders[i].path, side);
}

// Rounds over consecutive placeholders with the cache warm, each kind of
// work over the same placeholders in turn. The first round warms up.
Timings MeasureWarm(const DllUnderTest& dll, const std::vector<Placeholder>& placeholders,
                    const std::vector<std::wstring>& plainFiles, const FloorImages& images, int side, int rounds,
                    int perRound, Samples& extractAlone) {
  Timings timings;
  PrimeCache(dll, placeholders, side);
  size_t next = 0;
  for (int round = 0; round <= rounds; ++round) {
    const size_t first = next;
    next = (next + static_cast<size_t>(perRound)) % placeholders.size();
    auto at = [&](int i) -> const Placeholder& {
      return placeholders[(first + static_cast<size_t>(i)) % placeholders.size()];
    };
    double start = NowNs();
    for (int i = 0; i < perRound; ++i) ProductIcon(dll, at(i).path, side);
    const double product = (NowNs() - start) / perRound;

    // Extract alone, on objects made, loaded and released outside the timing.
    double extractTotal = 0;
    for (int i = 0; i < perRound; ++i) {
      IPersistFile* file = NewIconObject(dll);
      if (!file) continue;
      file->Load(at(i).path.c_str(), STGM_READ);
      IExtractIconW* extract = nullptr;
      file->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(&extract));
      const double extractStart = NowNs();
      HICON icon = ExtractIcon(extract, at(i).path, side);
      extractTotal += NowNs() - extractStart;
      if (icon) DestroyIcon(icon);
      extract->Release();
      file->Release();
    }

    start = NowNs();
    for (int i = 0; i < perRound; ++i) FloorIcon(at(i), images);
    const double floor = (NowNs() - start) / perRound;
    start = NowNs();
    for (int i = 0; i < perRound; ++i) ShellPlainIcon(plainFiles[static_cast<size_t>(at(i).type)], side);
    const double shell = (NowNs() - start) / perRound;
    if (round == 0) continue;
    timings.product.Add(product);
    timings.floor.Add(floor);
    timings.shell.Add(shell);
    extractAlone.Add(extractTotal / perRound);
  }
  return timings;
}

// Each sample the first icon after DllCanUnloadNow let the cache and GDI+
// go; the emptying is outside the timing.
Timings MeasureCold(const DllUnderTest& dll, const std::vector<Placeholder>& placeholders,
                    const std::vector<std::wstring>& plainFiles, const FloorImages& images, int side, int samples) {
  Timings timings;
  for (int sample = 0; sample <= samples; ++sample) {
    // Types and steps in turn, with and without a mark.
    const Placeholder& placeholder = placeholders[static_cast<size_t>(sample * 37 + 11) % placeholders.size()];
    dll.CanUnloadNow();
    double start = NowNs();
    ProductIcon(dll, placeholder.path, side);
    const double product = NowNs() - start;
    start = NowNs();
    ColdFloorIcon(placeholder, images, side);
    const double floor = NowNs() - start;
    start = NowNs();
    ShellPlainIcon(plainFiles[static_cast<size_t>(placeholder.type)], side);
    const double shell = NowNs() - start;
    if (sample == 0) continue;
    timings.product.Add(product);
    timings.floor.Add(floor);
    timings.shell.Add(shell);
  }
  return timings;
}

}  // namespace

int main() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR gdiplusToken = 0;
  Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);

  int status = 0;
  {
    TempFolder folder;
    CreateFolder(folder.Path() + L"\\app");
    RunningApplication application(folder.Path() + L"\\app");
    const std::wstring root = folder.Path() + L"\\Sync";
    MakeSyncRoot(root, FolderRecord(2, 1, CurrentUser()));
    const std::vector<Placeholder> placeholders = MakePlaceholders(root + L"\\Photos", 1000);
    const std::vector<std::wstring> plainFiles = MakePlainFiles(folder.Path() + L"\\Plain");

    DllUnderTest dll;
    if (!dll.Module()) return 1;
    for (const int side : sides) {
      const FloorImages images = MakeFloorImages(plainFiles[0], side);
      if (!images.faded) {
        fprintf(stderr, "no shell icon at %d px\n", side);
        status = 1;
        continue;
      }
      for (const Placeholder& placeholder : placeholders) {
        if (!ProductIcon(dll, placeholder.path, side)) {
          fprintf(stderr, "no icon for %ls at %d px\n", placeholder.path.c_str(), side);
          status = 1;
          break;
        }
      }
      const int perRound = side >= 256 ? 40 : 100;
      Samples extractOnly;
      const Timings warm = MeasureWarm(dll, placeholders, plainFiles, images, side, 9, perRound, extractOnly);
      const Timings cold = MeasureCold(dll, placeholders, plainFiles, images, side, 31);

      const std::string warmCase = FormatString("warm cache, %d px", side);
      const std::string extractCase = FormatString("warm cache, Extract alone, %d px", side);
      const std::string coldCase = FormatString("cold (first after unload check), %d px", side);
      ReportTimedRow("placeholder icon", warmCase.c_str(), "1 icon", warm.product.Median(), warm.floor.Median(),
                     warm.shell.Median());
      ReportTimedRow("placeholder icon", extractCase.c_str(), "1 icon", extractOnly.Median(), warm.floor.Median(),
                     warm.shell.Median());
      ReportTimedRow("placeholder icon", coldCase.c_str(), "1 icon", cold.product.Median(), cold.floor.Median(),
                     cold.shell.Median());
    }
  }
  Gdiplus::GdiplusShutdown(gdiplusToken);
  return status;
}
