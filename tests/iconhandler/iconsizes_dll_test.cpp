// Icons at the sides Explorer asks for, through the built DLL: each side
// built exactly and filling its square like the shell's own icon, failures
// left to Explorer's default icon, and the images kept between icon objects
// until DllCanUnloadNow. The DLL's calls into the shell and GDI+ are counted
// or bent through its import table: Wine's jumbo images are full size, so a
// jumbo image that is only a small icon in its corner, as Windows gives for
// types without large art, exists only through the hook.
#include <windows.h>
#include <commctrl.h>
#include <commoncontrols.h>
#include <gdiplus.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "iconhandler/overlaymath.h"
#include "support/dllundertest.h"
#include "support/iconpixels.h"
#include "support/gdipluscalls.h"
#include "support/importhook.h"
#include "support/menuharness.h"
#include "support/testfiles.h"

namespace {

// What the hooked SHGetImageList hands the DLL.
enum class Lists { Real, Failing, CornerJumbo, FailingIcons };
Lists lists = Lists::Real;
int failingList = -1;  // the list whose GetIcon fails under FailingIcons
int imageListCalls = 0, fileInfoCalls = 0;
void *realImageList = nullptr, *realFileInfo = nullptr;

HRESULT RealImageList(int id, IImageList** list) {
  return reinterpret_cast<decltype(&SHGetImageList)>(realImageList)(id, __uuidof(IImageList),
                                                                    reinterpret_cast<void**>(list));
}

// An icon of the pixels (top-down 0xAARRGGBB) with their alpha.
HICON IconOfPixels(const Pixels& pixels) {
  BITMAPV5HEADER header{};
  header.bV5Size = sizeof(header);
  header.bV5Width = pixels.width;
  header.bV5Height = -pixels.height;
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000, header.bV5GreenMask = 0x0000FF00, header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP color = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  std::copy(pixels.argb.begin(), pixels.argb.end(), static_cast<uint32_t*>(bits));
  HBITMAP mask = CreateBitmap(pixels.width, pixels.height, 1, 1, nullptr);
  ICONINFO info{TRUE, 0, 0, mask, color};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(color), DeleteObject(mask);
  return icon;
}

// The shell's icon of the index from one of its lists.
Pixels ShellListIcon(int id, int index) {
  IImageList* list = nullptr;
  HICON icon = nullptr;
  if (SUCCEEDED(RealImageList(id, &list))) list->GetIcon(index, ILD_NORMAL, &icon), list->Release();
  const Pixels pixels = ReadIconPixels(icon);
  DestroyIcon(icon);
  return pixels;
}

// A list of the same side standing in for one of the shell's: empty, so
// that GetIcon fails, or with the extra-large icon of the index alone in the
// top-left corner of the jumbo square.
IImageList* StandInList(int side, int index, bool corner) {
  HIMAGELIST list = ImageList_Create(side, side, ILC_COLOR32, index + 1, 1);
  if (corner) {
    ImageList_SetImageCount(list, index + 1);
    const Pixels extraLarge = ShellListIcon(SHIL_EXTRALARGE, index);
    Pixels jumbo{side, side, std::vector<uint32_t>(size_t(side) * side, 0)};
    for (int y = 0; y < extraLarge.height; ++y)
      for (int x = 0; x < extraLarge.width; ++x) jumbo.argb[size_t(y) * side + x] = extraLarge.At(x, y);
    HICON icon = IconOfPixels(jumbo);
    ImageList_ReplaceIcon(list, index, icon);
    DestroyIcon(icon);
  }
  // The import library lacks it.
  const auto query = reinterpret_cast<decltype(&HIMAGELIST_QueryInterface)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"comctl32.dll"), "HIMAGELIST_QueryInterface")));
  IImageList* standIn = nullptr;
  if (query) query(list, __uuidof(IImageList), reinterpret_cast<void**>(&standIn));
  return standIn;
}
int standInIndex = 0;

HRESULT WINAPI HookedImageList(int id, REFIID, void** out) {
  ++imageListCalls;
  if (lists == Lists::Failing) return E_FAIL;
  IImageList* list = nullptr;
  const HRESULT result = RealImageList(id, &list);
  const bool corner = lists == Lists::CornerJumbo && id == SHIL_JUMBO;
  if (SUCCEEDED(result) && (corner || (lists == Lists::FailingIcons && id == failingList))) {
    int side = 0;
    list->GetIconSize(&side, &side);
    list->Release();
    list = StandInList(side, standInIndex, corner);
  }
  *out = list;
  return result;
}
DWORD_PTR WINAPI CountedFileInfo(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT size, UINT flags) {
  ++fileInfoCalls;
  return reinterpret_cast<decltype(&SHGetFileInfoW)>(realFileInfo)(path, attributes, info, size, flags);
}

// How much of its square an icon covers: the mean alpha, and how far right
// and down its visible pixels reach, as fractions of the side.
struct Coverage {
  double alpha = 0, right = 0, bottom = 0;
};
Coverage CoverageOf(const Pixels& icon) {
  Coverage coverage;
  for (int y = 0; y < icon.height; ++y) {
    for (int x = 0; x < icon.width; ++x) {
      const uint32_t alpha = icon.At(x, y) >> 24;
      coverage.alpha += alpha / 255.0;
      if (alpha)
        coverage.right = std::max(coverage.right, x + 1.0), coverage.bottom = std::max(coverage.bottom, y + 1.0);
    }
  }
  const double side = std::max(icon.width, 1);
  return {coverage.alpha / (side * side), coverage.right / side, coverage.bottom / side};
}
void ExpectCoverageLike(const Pixels& icon, const Pixels& shell) {
  const Coverage got = CoverageOf(icon), want = CoverageOf(shell);
  // Scaling blurs the outline by about a pixel of the smaller image.
  const double edge = 1.5 / std::min(icon.width, shell.width) + 0.02;
  EXPECT_NEAR(got.alpha, want.alpha, 0.05);
  EXPECT_NEAR(got.right, want.right, edge);
  EXPECT_NEAR(got.bottom, want.bottom, edge);
}

struct Extracted {
  HRESULT result = E_FAIL;
  bool largeNull = false, smallNull = false, sameHandle = false;
  Pixels large, small;
};

class IconSizes : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto* hook : {&imageListHook, &fileInfoHook}) ASSERT_TRUE(hook->Installed());
    ASSERT_TRUE(gdiplus.Installed());
    realImageList = imageListHook.Original(), realFileInfo = fileInfoHook.Original();
    lists = Lists::Real;
    imageListCalls = fileInfoCalls = 0;
    MakeSyncRoot(folder / L"sync", "d4:modei1ee");
    // In a mode-true folder, no progress means no mark.
    MakePlaceholder(plain, "d8:kvx_typei1ee");
    MakePlaceholder(marked, "d10:kvx_statusi57ee");
    SHFILEINFOW info{};
    SHGetFileInfoW(L"x.docx", FILE_ATTRIBUTE_NORMAL, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES);
    docxIndex = standInIndex = info.iIcon;
  }
  void TearDown() override { EXPECT_EQ(dll.CanUnloadNow(), S_OK); }

  // Extract with sentinels in both out pointers, so that a null is written.
  Extracted Extract(const std::wstring& path, UINT sizes) const {
    IPersistFile* file = nullptr;
    IExtractIconW* extract = nullptr;
    Extracted out;
    if (FAILED(dll.CreateObject(TestClassId(1), IID_PPV_ARGS(&file)))) return out;
    file->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(&extract));
    file->Load(path.c_str(), STGM_READ);
    HICON large = HICON(7), small = HICON(7);
    out.result = extract->Extract(path.c_str(), 0, &large, &small, sizes);
    extract->Release(), file->Release();
    out.largeNull = !large, out.smallNull = !small, out.sameHandle = large == small;
    out.large = ReadIconPixels(large), out.small = ReadIconPixels(small);
    DestroyIcon(large), DestroyIcon(small);
    return out;
  }

  DllUnderTest dll;
  ImportHook imageListHook{dll.Module(), "shell32.dll", "SHGetImageList", reinterpret_cast<void*>(&HookedImageList)};
  ImportHook fileInfoHook{dll.Module(), "shell32.dll", "SHGetFileInfoW", reinterpret_cast<void*>(&CountedFileInfo)};
  GdiplusCalls gdiplus{dll.Module()};
  TempFolder folder;
  const std::wstring plain = folder / L"sync\\plain.docx.tmvs";
  const std::wstring marked = folder / L"sync\\marked.docx.tmvs";
  int docxIndex = 0;
};

// The shell's list nearest at or above each side at the default scale; the
// mark lies within its disc's square (one pixel of antialiasing around it).
TEST_F(IconSizes, EachSideIsBuiltExactlyFillsItsSquareAndCarriesTheMark) {
  for (const auto& [side, list] : {std::pair{16, SHIL_SMALL},
                                   {20, SHIL_LARGE},
                                   {24, SHIL_LARGE},
                                   {32, SHIL_LARGE},
                                   {48, SHIL_EXTRALARGE},
                                   {96, SHIL_JUMBO},
                                   {256, SHIL_JUMBO}}) {
    SCOPED_TRACE(side);
    const Extracted bare = Extract(plain, MAKELONG(side, 16)), mark = Extract(marked, MAKELONG(side, 16));
    ASSERT_EQ(bare.result, S_OK);
    ASSERT_EQ(mark.result, S_OK);
    for (const Pixels* icon : {&bare.large, &mark.large})
      EXPECT_EQ(std::pair(icon->width, icon->height), std::pair(side, side));
    EXPECT_EQ(bare.small.width, 16);
    ExpectCoverageLike(bare.large, ShellListIcon(list, docxIndex));

    const StatusMarkGeometry disc = ComputeStatusMarkGeometry(side, side);
    const int low = disc.discLeft - 1, high = disc.discLeft + disc.discSide + 1;
    int inside = 0, changedInside = 0, changedOutside = 0;
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        const bool within = x >= low && x < high && y >= low && y < high;
        const bool changed = bare.large.At(x, y) != mark.large.At(x, y);
        inside += within, changedInside += within && changed, changedOutside += !within && changed;
      }
    }
    EXPECT_EQ(changedOutside, 0);
    EXPECT_GT(changedInside, inside / 2) << "the translucent disc lightens what lies under it";
  }
}

TEST_F(IconSizes, AJumboImageOnlyInItsCornerGivesTheExtraLargeImageScaled) {
  lists = Lists::CornerJumbo;
  const Pixels extraLarge = ShellListIcon(SHIL_EXTRALARGE, docxIndex);
  for (const int side : {96, 256}) {
    SCOPED_TRACE(side);
    const Extracted icons = Extract(plain, MAKELONG(side, 16));
    ASSERT_EQ(icons.result, S_OK);
    ASSERT_EQ(icons.large.width, side);
    ExpectCoverageLike(icons.large, extraLarge);
  }
}

// S_FALSE leaves the failed icon to Explorer's default; a side of 0 is not
// wanted, and both are written null. Equal sides give two handles of one
// picture.
TEST_F(IconSizes, OnlyWantedIconsThatCouldBeBuiltAreHandedOut) {
  const struct {
    Lists lists;
    int failing;
    UINT sizes;
    HRESULT result;
    int largeSide, smallSide;  // 0: null
  } rows[] = {
      {Lists::Failing, -1, MAKELONG(48, 16), S_FALSE, 0, 0},
      {Lists::FailingIcons, SHIL_EXTRALARGE, MAKELONG(48, 16), S_FALSE, 0, 16},
      {Lists::FailingIcons, SHIL_SMALL, MAKELONG(256, 16), S_FALSE, 256, 0},
      {Lists::Real, -1, MAKELONG(0, 16), S_OK, 0, 16},
      {Lists::Real, -1, MAKELONG(24, 0), S_OK, 24, 0},
      {Lists::Real, -1, MAKELONG(32, 32), S_OK, 32, 32},
      {Lists::Real, -1, MAKELONG(257, 16), S_FALSE, 0, 16},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(LOWORD(row.sizes)) + "/" + std::to_string(HIWORD(row.sizes)));
    ASSERT_EQ(dll.CanUnloadNow(), S_OK) << "each row starts from an empty cache";
    lists = row.lists, failingList = row.failing;
    const Extracted icons = Extract(marked, row.sizes);
    EXPECT_EQ(icons.result, row.result);
    EXPECT_EQ(icons.largeNull, row.largeSide == 0);
    EXPECT_EQ(icons.smallNull, row.smallSide == 0);
    EXPECT_EQ(icons.large.width, row.largeSide);
    EXPECT_EQ(icons.small.width, row.smallSide);
    if (row.largeSide == row.smallSide && row.largeSide) {
      EXPECT_TRUE(!icons.sameHandle && icons.large.argb == icons.small.argb);
    }
  }
}

// Explorer makes one object per placeholder and releases it after Extract.
TEST_F(IconSizes, ObjectsOneAfterAnotherShareImagesUntilTheModuleMayUnload) {
  const auto shellCalls = [] { return imageListCalls + fileInfoCalls; };
  int afterFirstRound = 0;
  for (int round = 0; round < 10; ++round) {
    for (const std::wstring& path : {plain, marked}) ASSERT_EQ(Extract(path, MAKELONG(48, 16)).result, S_OK);
    if (round == 0) afterFirstRound = shellCalls();
  }
  EXPECT_GT(afterFirstRound, 0);
  EXPECT_EQ(shellCalls(), afterFirstRound) << "every later icon came from the cache";
  EXPECT_EQ(std::pair(GdiplusCalls::startups.load(), GdiplusCalls::shutdowns.load()), std::pair(1, 0))
      << "the cache keeps GDI+ started";
  ASSERT_EQ(dll.CanUnloadNow(), S_OK);
  EXPECT_EQ(GdiplusCalls::shutdowns, 1) << "GDI+ shut down with the cache";
  ASSERT_EQ(Extract(plain, MAKELONG(48, 16)).result, S_OK);
  EXPECT_GT(shellCalls(), afterFirstRound) << "the cache was emptied";
  ASSERT_EQ(dll.CanUnloadNow(), S_OK);
  EXPECT_EQ(GdiplusCalls::startups, GdiplusCalls::shutdowns);
}

}  // namespace
