#pragma once
#include <cstddef>
#include <string_view>

// The length of the longest prefix of the UTF-8 text that fits a buffer of
// capacity bytes with its NUL and does not split a character.
size_t Utf8PrefixFitting(std::string_view text, size_t capacity);
