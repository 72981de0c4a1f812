#include "util/fileguard.h"

#include <cstring>

#include "bencode/bencentity.h"
#include "bencode/bencparser.h"
#include "util/fileguardheader.h"
#include "util/sha1digest.h"
#include "util/strfmt.h"
#include "util/uniquehandle.h"

bool WriteGuardedFile(const std::wstring& path, const void* data, size_t length) {
  if (data == nullptr && length != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const auto* bytes = static_cast<const uint8_t*>(data);
  const bool guarded = length != 0 && bytes[0] == 'd';
  char header[fileGuardHeaderSize + 3];
  if (guarded) {
    // The digest comes first so that a failing hash service leaves the file
    // untouched.
    uint8_t digest[sha1DigestSize];
    if (!Sha1Digest(data, length, digest)) return false;
    if (FormatToBuffer(header, sizeof header, "%s%H", fileGuardKey.data(), digest) != fileGuardHeaderSize) {
      SetLastError(ERROR_INVALID_DATA);
      return false;
    }
  }
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  bool written = guarded ? WriteAll(file.Get(), header, fileGuardHeaderSize) &&
                               WriteAll(file.Get(), bytes + 1, length - 1)
                         : WriteAll(file.Get(), bytes, length);
  if (written && !FlushFileBuffers(file.Get())) written = false;
  const DWORD error = GetLastError();
  file.Reset();
  SetLastError(written ? ERROR_SUCCESS : error);
  return written;
}

WholeFile ReadGuardedFile(const std::wstring& path, DWORD& error) {
  error = ERROR_SUCCESS;
  WholeFile file = ReadWholeFile(path);
  if (!file.ok) {
    error = GetLastError();
    return file;
  }
  auto* bytes = reinterpret_cast<uint8_t*>(file.data.get());
  const FileGuardHeader header = ParseFileGuardHeader(bytes, file.size);
  if (header.state == FileGuardState::Plain) return file;
  if (header.state == FileGuardState::Guarded) {
    file.size = StripFileGuardHeader(bytes, file.size);
    bytes[file.size] = '\0';
    uint8_t digest[sha1DigestSize];
    if (!Sha1Digest(bytes, file.size, digest)) {
      error = GetLastError();
      return {};
    }
    if (std::memcmp(digest, header.digest, sha1DigestSize) == 0) return file;
  }
  error = ERROR_FILE_NOT_FOUND;
  return {};
}

int LoadBencodedFile(const std::wstring& path, BencEntity& value) {
  value.Clear();
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return loadBencodedMissing;
  DWORD error = ERROR_SUCCESS;
  const WholeFile file = ReadGuardedFile(path, error);
  if (!file.ok) return loadBencodedUnreadable;
  const char* end = file.data.get() + file.size;
  // Trailing bytes mean the file is not one value, however well it starts.
  if (BencParse(file.data.get(), end, value) != end) {
    value.Clear();
    return loadBencodedMalformed;
  }
  return loadBencodedOk;
}

bool SaveBencodedFile(const std::wstring& path, const void* data, size_t length) {
  const std::wstring replacement = FormatWideString(L"%s.new", path.c_str());
  const std::wstring previous = FormatWideString(L"%s.old", path.c_str());
  if (!WriteGuardedFile(replacement, data, length)) return false;
  BencEntity check;
  if (LoadBencodedFile(replacement, check) != loadBencodedOk) return false;
  // There may be no old file to keep.
  MoveFileReplace(path, previous);
  return MoveFileReplace(replacement, path);
}
