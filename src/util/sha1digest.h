#pragma once
#include <cstddef>
#include <cstdint>

inline constexpr size_t sha1DigestSize = 20;

// SHA-1 through the platform's CryptoAPI (CALG_SHA1); false when the hash
// service is unavailable.
bool Sha1Digest(const void* data, size_t length, uint8_t (&digest)[sha1DigestSize]);
