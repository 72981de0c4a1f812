#include "hostile/hostilesupport.h"

#include "support/iconpixels.h"
#include "support/testfiles.h"

void PrintTo(const MenuSnapshot& menu, std::ostream* out) {
  *out << std::hex << "0x" << static_cast<unsigned long>(menu.result) << std::dec << " [";
  for (const auto& [offset, greyed] : menu.entries) *out << " " << offset << (greyed ? "g" : "");
  *out << " ]";
}

void PrintTo(const IconSnapshot& icon, std::ostream* out) {
  uint64_t sum = 0;
  for (uint32_t pixel : icon.large) sum = sum * 31 + pixel;
  for (uint32_t pixel : icon.small) sum = sum * 31 + pixel;
  *out << std::hex << "0x" << static_cast<unsigned long>(icon.result) << std::dec << " " << icon.largeSide << "/"
       << icon.smallSide << " pixels#" << sum;
}

MenuSnapshot SnapshotMenu(const DllUnderTest& dll, IDataObject* selection, UINT flags) {
  MenuSnapshot snapshot;
  ComPtr<IContextMenu> menu;
  if (FAILED(dll.CreateObject(TestClassId(0), IID_PPV_ARGS(&menu)))) return snapshot;
  const QueryResult query = Bounded("QueryContextMenu", [&] { return QueryMenu(menu.Get(), selection, flags); });
  snapshot.result = query.result;
  for (size_t i = 1; i + 1 < query.items.size(); ++i)
    snapshot.entries.emplace_back(query.items[i].id - firstId, query.items[i].greyed);
  return snapshot;
}

IconSnapshot SnapshotIcon(const DllUnderTest& dll, const std::wstring& path) {
  IconSnapshot snapshot;
  ComPtr<IPersistFile> file;
  ComPtr<IExtractIconW> extract;
  if (FAILED(dll.CreateObject(TestClassId(1), IID_PPV_ARGS(&file))) ||
      FAILED(file->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(extract.GetAddressOf()))))
    return snapshot;
  EXPECT_EQ(file->Load(path.c_str(), STGM_READ), S_OK);
  HICON large = nullptr, small = nullptr;
  const HRESULT result =
      Bounded("Extract", [&] { return extract->Extract(path.c_str(), 0, &large, &small, MAKELONG(32, 16)); });
  return TakeExtracted(result, large, small);
}

IconSnapshot TakeExtracted(HRESULT result, HICON large, HICON small) {
  IconSnapshot snapshot;
  snapshot.result = result;
  const Pixels largePixels = ReadIconPixels(large);
  const Pixels smallPixels = ReadIconPixels(small);
  snapshot.largeSide = largePixels.width;
  snapshot.smallSide = smallPixels.width;
  snapshot.large = largePixels.argb;
  snapshot.small = smallPixels.argb;
  if (large) DestroyIcon(large);
  if (small) DestroyIcon(small);
  return snapshot;
}

bool WriteSparse(const std::wstring& path, uint64_t size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD returned = 0;
  DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return sized;
}

HRESULT InvokeOffset(IContextMenu* menu, UINT offset) {
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof info;
  info.lpVerb = MAKEINTRESOURCEA(offset);
  info.nShow = SW_SHOWNORMAL;
  return menu->InvokeCommand(&info);
}
