#pragma once
#include <windows.h>

#include <utility>

// An open registry key, closed when its owner goes.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() { Reset(); }
  RegistryKey(RegistryKey&& other) noexcept : key(std::exchange(other.key, nullptr)) {}
  RegistryKey& operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
      Reset();
      key = std::exchange(other.key, nullptr);
    }
    return *this;
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  HKEY Get() const { return key; }
  // For the out parameter of RegOpenKeyExW and RegCreateKeyExW.
  HKEY* Receive() {
    Reset();
    return &key;
  }
  void Reset() {
    if (key) RegCloseKey(key);
    key = nullptr;
  }

 private:
  HKEY key = nullptr;
};
