#include "iconhandler/shellfileicon.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "com/errorbarrier.h"
#include "iconhandler/filetypeimage.h"
#include "iconhandler/iconimagecache.h"
#include "iconhandler/iconimagekeys.h"
#include "iconhandler/overlaymath.h"
#include "iconhandler/statusoverlay.h"
#include "imaging/argbicon.h"
#include "imaging/gdipluslease.h"
#include "syncstate/placeholdernames.h"
#include "syncstate/placeholderstate.h"
#include "syncstate/syncfolder.h"

namespace {

// Sides Explorer may ask for; 0 means that icon is not wanted.
constexpr UINT largestSide = 256;

// The image under the key from the cache, or built outside the lock and
// stored; null when it cannot be built.
template <typename Build>
std::shared_ptr<const ArgbPixels> CachedImage(const std::wstring& key, Build build) {
  {
    SectionLock lock(iconImageCacheLock);
    if (auto held = iconImageCache.Find(key)) return held;
  }
  std::shared_ptr<const ArgbPixels> built = build();
  if (!built) return nullptr;
  SectionLock lock(iconImageCacheLock);
  return iconImageCache.Store(key, std::move(built));
}

std::shared_ptr<const ArgbPixels> FadedFileTypeImage(const std::wstring& name, UINT side, bool isFolder) {
  std::unique_ptr<Gdiplus::Bitmap> image = LoadFileTypeImage(name, side, isFolder);
  std::shared_ptr<ArgbPixels> pixels = image ? ReadArgbPixels(*image) : nullptr;
  if (!pixels) return nullptr;
  FadePixelRows(reinterpret_cast<uint8_t*>(pixels->argb.data()), static_cast<ptrdiff_t>(pixels->width) * 4,
                pixels->width, pixels->height, placeholderFadeAmount);
  return pixels;
}

std::shared_ptr<const ArgbPixels> StatusOverlayImage(UINT side, int32_t progress) {
  std::unique_ptr<Gdiplus::Bitmap> overlay = CreateStatusOverlay(side, side, PixelFormat32bppARGB, progress);
  return overlay ? ReadArgbPixels(*overlay) : nullptr;
}

}  // namespace

// The lease only covers the object's own drawing: the cached images keep
// GDI+ started between objects.
ShellFileIcon::ShellFileIcon() { AcquireGdiplus(); }

ShellFileIcon::~ShellFileIcon() { ReleaseGdiplus(); }

const QITAB ShellFileIcon::interfaceTable[] = {
    {&IID_IExtractIconW, OFFSETOFCLASS(IExtractIconW, ShellFileIcon)},
    {&IID_IPersistFile, OFFSETOFCLASS(IPersistFile, ShellFileIcon)},
    {nullptr, 0},
};

HRESULT STDMETHODCALLTYPE ShellFileIcon::GetClassID(CLSID*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ShellFileIcon::IsDirty() { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ShellFileIcon::Save(LPCOLESTR, BOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ShellFileIcon::SaveCompleted(LPCOLESTR) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ShellFileIcon::GetCurFile(LPOLESTR*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE ShellFileIcon::Load(LPCOLESTR fileName, DWORD) try {
  path[0] = L'\0';
  if (!fileName) return E_INVALIDARG;
  // A path cut to fit would name some other file (or end in ".tmvs" by
  // chance): one that does not fit is not taken, and Extract declines.
  if (wcsnlen(fileName, MAX_PATH) < MAX_PATH) lstrcpynW(path, fileName, MAX_PATH);
  return S_OK;
} CATCH_RETURN()

// Explorer asks again whenever it needs the icon, since progress changes.
HRESULT STDMETHODCALLTYPE ShellFileIcon::GetIconLocation(UINT, LPWSTR, UINT, int*, UINT* outFlags) try {
  if (outFlags) *outFlags = GIL_NOTFILENAME | GIL_DONTCACHE;
  return S_OK;
} CATCH_RETURN()

// Windows' Explorer calls Extract after GetIconLocation, with the sides it
// shows; Wine's shell never does, only its file manager, with a large side of
// 0 (not wanted) and a small one of 16. S_FALSE when a wanted icon could not
// be built: Explorer then shows its default one.
HRESULT STDMETHODCALLTYPE ShellFileIcon::Extract(LPCWSTR, UINT, HICON* large, HICON* small, UINT iconSizes) try {
  if (!IsPlaceholderExtension(PathFindExtensionW(path))) return E_NOTIMPL;

  const UINT largeSide = large ? LOWORD(iconSizes) : 0;
  const UINT smallSide = small ? HIWORD(iconSizes) : 0;
  const PlaceholderLook look = (largeSide || smallSide) ? ReadPlaceholderLook() : PlaceholderLook{};
  UniqueIcon largeIcon;
  UniqueIcon smallIcon;
  if (largeSide != 0) largeIcon = BuildPlaceholderIcon(look, largeSide);
  if (smallSide != 0 && smallSide == largeSide) {
    if (largeIcon) smallIcon.Reset(DuplicateIcon(nullptr, largeIcon.Get()));
  } else if (smallSide != 0) {
    smallIcon = BuildPlaceholderIcon(look, smallSide);
  }
  const bool complete = (largeSide == 0 || largeIcon) && (smallSide == 0 || smallIcon);
  if (large) *large = largeIcon.Release();
  if (small) *small = smallIcon.Release();
  return complete ? S_OK : S_FALSE;
} CATCH_RETURN()

ShellFileIcon::PlaceholderLook ShellFileIcon::ReadPlaceholderLook() const {
  const std::wstring placeholder = path;
  PlaceholderState state;
  ReadPlaceholderState(placeholder, state);
  const size_t extensionStart = static_cast<size_t>(PathFindExtensionW(path) - path);
  PlaceholderLook look;
  look.name = PlaceholderTargetName(placeholder, extensionStart, state.is_folder);
  look.isFolder = state.is_folder;
  SyncFolderInfo folder;
  const std::wstring root = FindSyncFolderRoot(look.name);
  if (!root.empty()) ReadSyncFolderInfo(root, folder);
  look.progress = state.progress;
  if (look.progress < 0) {
    look.marked = !folder.mode;
    look.progress = 0;
  }
  return look;
}

UniqueIcon ShellFileIcon::BuildPlaceholderIcon(const PlaceholderLook& look, UINT side) const {
  if (side > largestSide) return {};
  const std::shared_ptr<const ArgbPixels> faded = CachedImage(
      FileTypeImageKey(look.name, side), [&] { return FadedFileTypeImage(look.name, side, look.isFolder); });
  if (!faded) return {};
  if (!look.marked) return ComposeStatusIcon(*faded, nullptr);
  const std::shared_ptr<const ArgbPixels> overlay =
      CachedImage(OverlayImageKey(look.progress, side), [&] { return StatusOverlayImage(side, look.progress); });
  return ComposeStatusIcon(*faded, overlay.get());
}
