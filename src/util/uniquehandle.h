#pragma once
// The one owner of every handle the DLL opens: each closes on every path
// out of its scope. A Traits type names the handle type, its invalid value
// and how it is closed.
#include <windows.h>

#include <cstddef>
#include <utility>

#if __has_include(<unzip.h>)
#include <unzip.h>
#endif

template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() = default;
  // "No resource", whatever the type's invalid value is.
  UniqueResource(std::nullptr_t) {}
  explicit UniqueResource(Type value) : value(value) {}
  ~UniqueResource() { Reset(); }
  UniqueResource(UniqueResource&& other) noexcept : value(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Type Get() const { return value; }
  bool Valid() const { return value != Traits::Invalid(); }
  explicit operator bool() const { return Valid(); }
  void Reset(Type replacement = Traits::Invalid()) {
    if (Valid()) Traits::Close(value);
    value = replacement;
  }
  // Gives the handle up without closing it.
  Type Release() { return std::exchange(value, Traits::Invalid()); }
  // For out parameters (RegOpenKeyExW and the like): closes what is held.
  Type* Put() {
    Reset();
    return &value;
  }

 private:
  Type value = Traits::Invalid();
};

// Kernel objects that report failure as null (events, mutexes, processes,
// threads, tokens) and CreateFileW's handles, which report INVALID_HANDLE_VALUE.
struct KernelObjectTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type handle) { CloseHandle(handle); }
};
struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type handle) { CloseHandle(handle); }
};
struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type handle) { FindClose(handle); }
};
struct LocalMemoryTraits {
  using Type = HLOCAL;
  static Type Invalid() { return nullptr; }
  static void Close(Type memory) { LocalFree(memory); }
};
struct RegistryKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static void Close(Type key) { RegCloseKey(key); }
};
struct IconTraits {
  using Type = HICON;
  static Type Invalid() { return nullptr; }
  static void Close(Type icon) { DestroyIcon(icon); }
};
struct BitmapTraits {
  using Type = HBITMAP;
  static Type Invalid() { return nullptr; }
  static void Close(Type bitmap) { DeleteObject(bitmap); }
};
struct MemoryDcTraits {
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static void Close(Type dc) { DeleteDC(dc); }
};
struct LibraryTraits {
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static void Close(Type module) { FreeLibrary(module); }
};

// Texts the shell allocates for its caller (display names and the like).
struct CoTaskTextTraits {
  using Type = wchar_t*;
  static Type Invalid() { return nullptr; }
  static void Close(Type text) { CoTaskMemFree(text); }
};

using UniqueKernelObject = UniqueResource<KernelObjectTraits>;
using UniqueFile = UniqueResource<FileHandleTraits>;
using UniqueFind = UniqueResource<FindHandleTraits>;
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;
using UniqueRegistryKey = UniqueResource<RegistryKeyTraits>;
using UniqueIcon = UniqueResource<IconTraits>;
using UniqueBitmap = UniqueResource<BitmapTraits>;
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;
using UniqueLibrary = UniqueResource<LibraryTraits>;
using UniqueCoTaskText = UniqueResource<CoTaskTextTraits>;

#if __has_include(<unzip.h>)
struct ZipHandleTraits {
  using Type = unzFile;
  static Type Invalid() { return nullptr; }
  static void Close(Type zip) { unzClose(zip); }
};
using UniqueZip = UniqueResource<ZipHandleTraits>;
#endif

// The screen's device context for as long as the object lives.
class ScreenDc {
 public:
  ScreenDc() : dc(GetDC(nullptr)) {}
  ~ScreenDc() { Release(); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;

  HDC Get() const { return dc; }
  explicit operator bool() const { return dc != nullptr; }
  void Release() {
    if (dc) ReleaseDC(nullptr, dc);
    dc = nullptr;
  }

 private:
  HDC dc;
};

// A re-entrant lock and its scope guard.
class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&section); }
  ~CriticalSection() { DeleteCriticalSection(&section); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter() { EnterCriticalSection(&section); }
  void Leave() { LeaveCriticalSection(&section); }

 private:
  CRITICAL_SECTION section;
};

class SectionLock {
 public:
  explicit SectionLock(CriticalSection& section) : section(section) { section.Enter(); }
  ~SectionLock() { section.Leave(); }
  SectionLock(const SectionLock&) = delete;
  SectionLock& operator=(const SectionLock&) = delete;

 private:
  CriticalSection& section;
};
