#include "localization/languagearchive.h"

#include <unzip.h>

#include "localization/textfile.h"
#include "util/strfmt.h"

namespace {

constexpr uLong entryNameLimit = 260;

}  // namespace

LanguageArchive::LanguageArchive(std::shared_ptr<DataContainer> container, TraceHook trace)
    : container(std::move(container)), trace(std::move(trace)) {
  if (!this->container) return;
  if (this->container->Status() != 0) {
    status = this->container->Status();
    return;
  }
  stream.data = this->container->Data();
  stream.size = this->container->Size();
  zlib_filefunc64_def functions = MemoryZipFunctions(stream);
  zip.Reset(unzOpen2_64("languages.zip", &functions));
  if (!zip) return;
  status = Open;
  ListEntries();
}


void LanguageArchive::ListEntries() {
  SectionLock guard(lock);
  for (int result = unzGoToFirstFile(zip.Get()); result == UNZ_OK && entryNames.size() < entryCountLimit;
       result = unzGoToNextFile(zip.Get())) {
    unz_file_info64 info{};
    char name[entryNameLimit + 1] = {};
    if (unzGetCurrentFileInfo64(zip.Get(), &info, name, entryNameLimit, nullptr, 0, nullptr, 0) != UNZ_OK) break;
    // minizip leaves a name that fills the buffer unterminated.
    const size_t length = info.size_filename < entryNameLimit ? info.size_filename : entryNameLimit;
    entryNames.push_back(DecodeTextFile(std::string_view(name, length)));
  }
}

void LanguageArchive::Trace(const char* format, const std::string& name, int error) const {
  if (trace) trace(FormatString(format, name.c_str(), error));
}

LanguageArchive::Entry LanguageArchive::ReadEntry(std::wstring_view name) {
  SectionLock guard(lock);
  Entry entry;
  if (name.starts_with(L'/')) name.remove_prefix(1);
  const std::string utf8Name = EncodeUtf8(name);

  if (!zip) {
    Trace("ZIP: Can't locate [%s] in zip, error %d.", utf8Name, UNZ_PARAMERROR);
    return entry;
  }
  if (const int error = unzLocateFile(zip.Get(), utf8Name.c_str(), 0); error != UNZ_OK) {
    Trace("ZIP: Can't locate [%s] in zip, error %d.", utf8Name, error);
    return entry;
  }
  unz_file_info64 info{};
  if (const int error = unzGetCurrentFileInfo64(zip.Get(), &info, nullptr, 0, nullptr, 0, nullptr, 0); error != UNZ_OK) {
    Trace("ZIP: Can't get info from zip for [%s], error %d.", utf8Name, error);
    entry.status = EntryStatus::OpenFailed;
    return entry;
  }
  // The claimed size comes from the archive itself: bound it before it
  // becomes an allocation.
  if (info.uncompressed_size > entrySizeLimit) {
    Trace("ZIP: Can't get info from zip for [%s], error %d.", utf8Name, UNZ_BADZIPFILE);
    entry.status = EntryStatus::OpenFailed;
    return entry;
  }
  const unsigned size = static_cast<unsigned>(info.uncompressed_size);
  entry.bytes.resize(size);
  if (const int error = unzOpenCurrentFile(zip.Get()); error != UNZ_OK) {
    Trace("ZIP: Can't open [%s] from zip, error %d.", utf8Name, error);
    entry.bytes.clear();
    entry.status = EntryStatus::OpenFailed;
    return entry;
  }
  const int read = size > 0 ? unzReadCurrentFile(zip.Get(), entry.bytes.data(), size) : 0;
  // The CRC is checked on close, once the whole claimed size was read; a
  // short read or a CRC mismatch means damaged content, not a translation.
  const int closeError = unzCloseCurrentFile(zip.Get());
  if (read < 0 || static_cast<unsigned>(read) != size) {
    Trace("ZIP: Read [%s] from zip is empty.", utf8Name);
    entry.bytes.clear();
    entry.status = EntryStatus::ReadFailed;
    return entry;
  }
  if (closeError != UNZ_OK) {
    Trace("ZIP: Can't close [%s] in zip, error %d.", utf8Name, closeError);
    entry.bytes.clear();
    entry.status = EntryStatus::ReadFailed;
    return entry;
  }
  entry.status = EntryStatus::Ok;
  return entry;
}
