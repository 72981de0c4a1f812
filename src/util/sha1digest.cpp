#include "util/sha1digest.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>

namespace {

class CryptProvider {
 public:
  CryptProvider() {
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) provider = 0;
  }
  ~CryptProvider() {
    if (provider) CryptReleaseContext(provider, 0);
  }
  CryptProvider(const CryptProvider&) = delete;
  CryptProvider& operator=(const CryptProvider&) = delete;
  HCRYPTPROV Get() const { return provider; }

 private:
  HCRYPTPROV provider = 0;
};

class CryptHash {
 public:
  explicit CryptHash(HCRYPTPROV provider) {
    if (!provider || !CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash)) hash = 0;
  }
  ~CryptHash() {
    if (hash) CryptDestroyHash(hash);
  }
  CryptHash(const CryptHash&) = delete;
  CryptHash& operator=(const CryptHash&) = delete;
  HCRYPTHASH Get() const { return hash; }

 private:
  HCRYPTHASH hash = 0;
};

}  // namespace

bool Sha1Digest(const void* data, size_t length, uint8_t (&digest)[sha1DigestSize]) {
  const CryptProvider provider;
  const CryptHash hash(provider.Get());
  if (!hash.Get()) return false;
  const auto* bytes = static_cast<const BYTE*>(data);
  // CryptHashData counts in 32 bits; larger inputs go in pieces.
  constexpr size_t piece = 1u << 30;
  for (size_t done = 0; done < length;) {
    const DWORD count = static_cast<DWORD>(std::min(length - done, piece));
    if (!CryptHashData(hash.Get(), bytes + done, count, 0)) return false;
    done += count;
  }
  DWORD size = sha1DigestSize;
  return CryptGetHashParam(hash.Get(), HP_HASHVAL, digest, &size, 0) && size == sha1DigestSize;
}
