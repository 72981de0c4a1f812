#pragma once
#include <windows.h>

#include <utility>

// Owners of the kernel handles and registry keys the channel opens; both
// close on every path out of a scope.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle = nullptr) : handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~ScopedHandle() { Reset(); }
  ScopedHandle(ScopedHandle&& other) noexcept : handle(std::exchange(other.handle, nullptr)) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle = std::exchange(other.handle, nullptr);
    }
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  HANDLE Get() const { return handle; }
  explicit operator bool() const { return handle != nullptr; }
  void Reset() {
    if (handle) CloseHandle(handle);
    handle = nullptr;
  }

 private:
  HANDLE handle;
};

class ScopedKey {
 public:
  ScopedKey() = default;
  ~ScopedKey() {
    if (key) RegCloseKey(key);
  }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  HKEY Get() const { return key; }
  HKEY* Receive() { return &key; }

 private:
  HKEY key = nullptr;
};
