#pragma once
// The names of placeholder files; no Windows calls.
#include <string>
#include <string_view>

// The extension as the path-extension routine finds it names a placeholder
// (ASCII letters in any case).
bool IsPlaceholderExtension(std::wstring_view extension);

// The pseudo-extension that makes the shell answer with its folder icon.
inline constexpr std::wstring_view folderPseudoExtension = L".kvx2fldr";

// The name the placeholder stands for: the path without its own extension
// (the text from extensionStart on), with the folder pseudo-extension added
// for folder placeholders.
std::wstring PlaceholderTargetName(std::wstring_view path, size_t extensionStart, bool isFolder);

// What the shell is asked about for the file-type icon: the name itself,
// or, when it would not fit the shell's MAX_PATH buffers, a short name with
// the same final extension, which is all the shell looks at.
std::wstring ShellQueryName(std::wstring_view name);
