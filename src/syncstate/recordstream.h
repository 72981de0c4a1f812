#pragma once
#include <cstdint>
#include <string>

// Opens an alternate data stream ("file\stream": the last component names
// the stream) and reads it whole. False when the stream cannot be opened.
// When it opens but is larger than a record can be, or cannot be read in
// full, bytes are left empty, which no record decodes from.
bool ReadRecordStream(const std::wstring& streamPath, std::string& bytes);

// Reads exactly length bytes from the start of the stream; false when it
// cannot be opened. A shorter stream leaves bytes shorter.
bool ReadRecordStreamPrefix(const std::wstring& streamPath, uint32_t length, std::string& bytes);
