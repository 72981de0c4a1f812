#pragma once
// Names and cache keys of the placeholder icon handler; no Windows calls.
#include <cstdint>
#include <string>
#include <string_view>

// Large is the shell's 256-pixel jumbo icon, small the shell's small icon.
enum class IconSizeClass { Large, Small };

// The pseudo-extension that makes the shell answer with its folder icon.
inline constexpr std::wstring_view folderPseudoExtension = L".kvx2fldr";

// The name the placeholder stands for: the path without its own extension
// (the text from extensionStart on), with the folder pseudo-extension added
// for folder placeholders.
std::wstring PlaceholderTargetName(std::wstring_view path, size_t extensionStart, bool isFolder);

// The text from the name's last "." on ("." when it has none), then the
// class letter.
std::wstring FileTypeImageKey(std::wstring_view name, IconSizeClass sizeClass);

// The progress in decimal, then the class letter.
std::wstring OverlayImageKey(int32_t progress, IconSizeClass sizeClass);

// What the shell is asked about for the file-type icon: the name itself,
// or, when it would not fit the shell's MAX_PATH buffers, a short name with
// the same final extension, which is all the shell looks at.
std::wstring ShellQueryName(std::wstring_view name);
