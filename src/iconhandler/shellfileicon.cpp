#include "iconhandler/shellfileicon.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "com/errorbarrier.h"
#include "imaging/argbicon.h"
#include "iconhandler/filetypeimage.h"
#include "iconhandler/iconimagecache.h"
#include "iconhandler/overlaymath.h"
#include "iconhandler/statusoverlay.h"
#include "imaging/gdipluslease.h"
#include "syncstate/placeholderstate.h"
#include "syncstate/placeholdernames.h"
#include "syncstate/syncfolder.h"

ShellFileIcon::ShellFileIcon() { AcquireGdiplus(); }

ShellFileIcon::~ShellFileIcon() {
  {
    // Any icon object going empties the whole cache, and its images must be
    // gone before GDI+ may shut down.
    SectionLock lock(iconImageCacheLock);
    iconImageCache.Clear();
  }
  ReleaseGdiplus();
}

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

// Windows' Explorer calls Extract after GetIconLocation; Wine's shell never
// does, only its file manager, with a large size of 0 and a small one of 16.
HRESULT STDMETHODCALLTYPE ShellFileIcon::Extract(LPCWSTR, UINT, HICON* large, HICON* small, UINT iconSizes) try {
  if (!IsPlaceholderExtension(PathFindExtensionW(path))) return E_NOTIMPL;

  UniqueIcon largeIcon;
  UniqueIcon smallIcon;
  if (LOWORD(iconSizes) == HIWORD(iconSizes)) {
    // One size asked twice: the small class serves both.
    UniqueIcon icon = (large || small) ? BuildPlaceholderIcon(IconSizeClass::Small) : UniqueIcon();
    if (large && small && icon) smallIcon.Reset(DuplicateIcon(nullptr, icon.Get()));
    (large ? largeIcon : smallIcon) = std::move(icon);
  } else {
    if (large) largeIcon = BuildPlaceholderIcon(IconSizeClass::Large);
    if (small) smallIcon = BuildPlaceholderIcon(IconSizeClass::Small);
  }
  if (large) *large = largeIcon.Release();
  if (small) *small = smallIcon.Release();
  return S_OK;
} CATCH_RETURN()

UniqueIcon ShellFileIcon::BuildPlaceholderIcon(IconSizeClass sizeClass) const {
  const std::wstring placeholder = path;
  PlaceholderState state;
  ReadPlaceholderState(placeholder, state);
  const size_t extensionStart = static_cast<size_t>(PathFindExtensionW(path) - path);
  const std::wstring name = PlaceholderTargetName(placeholder, extensionStart, state.is_folder);

  SectionLock lock(iconImageCacheLock);
  const std::wstring imageKey = FileTypeImageKey(name, sizeClass);
  Gdiplus::Bitmap* faded = iconImageCache.Find(imageKey);
  if (!faded) {
    std::unique_ptr<Gdiplus::Bitmap> image = LoadFileTypeImage(name, sizeClass, state.is_folder);
    if (!image) return {};
    FadeTowardWhite(image.get(), placeholderFadeAmount);
    faded = iconImageCache.Store(imageKey, std::move(image));
  }

  SyncFolderInfo folder;
  const std::wstring root = FindSyncFolderRoot(name);
  if (!root.empty()) ReadSyncFolderInfo(root, folder);

  int32_t progress = state.progress;
  if (progress < 0) {
    if (folder.mode) return ArgbImageToIcon(faded);
    progress = 0;
  }
  const std::wstring overlayKey = OverlayImageKey(progress, sizeClass);
  Gdiplus::Bitmap* overlay = iconImageCache.Find(overlayKey);
  if (!overlay) {
    std::unique_ptr<Gdiplus::Bitmap> image =
        CreateStatusOverlay(faded->GetWidth(), faded->GetHeight(), faded->GetPixelFormat(), progress);
    if (image) overlay = iconImageCache.Store(overlayKey, std::move(image));
  }
  return ComposeStatusIcon(faded, overlay);
}
