// Creates the class named on the command line as a shell client of this
// architecture would; exits 0 only when it got a context-menu object.
#include <windows.h>
#include <shlobj.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  CLSID classId{};
  if (FAILED(CLSIDFromString(argv[1], &classId))) return 2;
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
  IContextMenu* menu = nullptr;
  const HRESULT created =
      CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu, reinterpret_cast<void**>(&menu));
  if (menu) menu->Release();
  CoUninitialize();
  return SUCCEEDED(created) ? 0 : 1;
}
