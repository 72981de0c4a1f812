#include "channel/applicationstart.h"

#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <vector>

#include "channel/installscope.h"
#include "channel/pipeclient.h"
#include "log/extensionlog.h"
#include "util/uniquehandle.h"

using Microsoft::WRL::ComPtr;

namespace {
constexpr wchar_t applicationFile[] = L"Tamvera Sync.exe";
constexpr ULONGLONG applicationStartLimitMs = 30000;
constexpr DWORD applicationPollMs = 100;
// SID_STopLevelBrowser, spelt out so that no import library has to carry it.
constexpr GUID topLevelBrowserService = {0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

// A drive's or a share's full path; any other name would resolve against
// the host's current folder or drive.
bool IsFullPath(const std::wstring& path) {
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') return true;
  const wchar_t drive = path.empty() ? L'\0' : static_cast<wchar_t>(path[0] | 0x20);
  return path.size() >= 3 && drive >= L'a' && drive <= L'z' && path[1] == L':' &&
         (path[2] == L'\\' || path[2] == L'/');
}

// Unknown counts as elevated: the host's token is then never used.
bool IsHostElevated() {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return true;
  const UniqueKernelObject token(opened);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size)) return true;
  return elevation.TokenIsElevated != 0;
}

// A host whose job is killed on exit would otherwise take the application
// with it.
bool MayBreakAwayFromJob() {
  BOOL inJob = FALSE;
  if (!IsProcessInJob(GetCurrentProcess(), nullptr, &inJob) || !inJob) return false;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  if (!QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits, sizeof limits, nullptr))
    return false;
  return (limits.BasicLimitInformation.LimitFlags & JOB_OBJECT_LIMIT_BREAKAWAY_OK) != 0;
}

bool CreateApplicationProcess(const std::wstring& executable, const std::wstring& folder) {
  DWORD flags = MayBreakAwayFromJob() ? CREATE_BREAKAWAY_FROM_JOB : 0;
  for (;;) {
    // CreateProcessW may write to the command line.
    std::vector<wchar_t> commandLine;
    for (const wchar_t c : L"\"" + executable + L"\"") commandLine.push_back(c);
    commandLine.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                       folder.c_str(), &startup, &process)) {
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
      return true;
    }
    const DWORD error = GetLastError();
    // An enclosing job may refuse the breakaway that the inner one allows.
    if (flags != 0 && error == ERROR_ACCESS_DENIED) {
      flags = 0;
      continue;
    }
    LogMessage(L"Start of %s failed (%u); batch dropped", executable.c_str(), static_cast<unsigned>(error));
    return false;
  }
}

class ComScope {
 public:
  ComScope() : result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(result)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  HRESULT result;
};

class Bstr {
 public:
  explicit Bstr(const std::wstring& text) : text(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~Bstr() { SysFreeString(text); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR text;
};

VARIANT StringVariant(const Bstr& text) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = text.text;
  return value;
}

// The desktop shell's own process runs the ShellExecute, with its token:
// the documented way for an elevated process to start an unelevated one.
HRESULT ShellExecuteThroughDesktop(const std::wstring& executable, const std::wstring& folder) {
  const ComScope com;
  if (FAILED(com.result)) return com.result;
  ComPtr<IShellWindows> windows;
  HRESULT result = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&windows));
  if (FAILED(result)) return result;
  VARIANT empty;
  VariantInit(&empty);
  long window = 0;
  ComPtr<IDispatch> desktop;
  result = windows->FindWindowSW(&empty, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop);
  if (result != S_OK || !desktop) return FAILED(result) ? result : E_NOINTERFACE;
  ComPtr<IServiceProvider> services;
  if (FAILED(result = desktop.As(&services))) return result;
  ComPtr<IShellBrowser> browser;
  if (FAILED(result = services->QueryService(topLevelBrowserService, IID_PPV_ARGS(&browser)))) return result;
  ComPtr<IShellView> view;
  if (FAILED(result = browser->QueryActiveShellView(&view))) return result;
  if (!view) return E_NOINTERFACE;
  ComPtr<IDispatch> background;
  if (FAILED(result = view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&background)))) return result;
  ComPtr<IShellFolderViewDual> folderView;
  if (FAILED(result = background.As(&folderView))) return result;
  ComPtr<IDispatch> application;
  if (FAILED(result = folderView->get_Application(&application))) return result;
  if (!application) return E_NOINTERFACE;
  ComPtr<IShellDispatch2> shell;
  if (FAILED(result = application.As(&shell))) return result;

  const Bstr file(executable), arguments(L""), directory(folder), operation(L"open");
  VARIANT show;
  VariantInit(&show);
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  return shell->ShellExecute(file.text, StringVariant(arguments), StringVariant(directory), StringVariant(operation),
                             show);
}

}  // namespace

std::wstring ApplicationExecutableIn(std::wstring folder) {
  if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  return folder + L"\\" + applicationFile;
}

std::wstring StartApplication() {
  std::wstring folder = ReadInstallLocation(HKEY_CURRENT_USER);
  if (!IsFullPath(folder)) return {};
  const std::wstring executable = ApplicationExecutableIn(folder);
  const DWORD attributes = GetFileAttributesW(executable.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
  // The install folder, not the host's, so that the application does not
  // keep the host's folder (a stick, a share) in use; a drive's root keeps
  // its backslash.
  if (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();

  if (IsHostElevated()) {
    // The per-user folder is writable by every unelevated program of the
    // user: whatever lies there must never run with this host's token.
    // S_FALSE: the shell could not start the file.
    const HRESULT result = ShellExecuteThroughDesktop(executable, folder);
    if (result != S_OK) {
      LogMessage(L"Start of %s through the desktop shell failed (%lx); the host is elevated; batch dropped",
                 executable.c_str(), static_cast<unsigned long>(result));
      return {};
    }
  } else if (!CreateApplicationProcess(executable, folder)) {
    return {};
  }

  const ULONGLONG started = GetTickCount64();
  for (;;) {
    Sleep(applicationPollMs);
    std::wstring pipe = SelectCommandPipe(InstallScope::User);
    if (!pipe.empty()) return pipe;
    if (GetTickCount64() - started >= applicationStartLimitMs) {
      LogMessage(L"%s did not announce its pipe within %u s; batch dropped", executable.c_str(),
                 static_cast<unsigned>(applicationStartLimitMs / 1000));
      return {};
    }
  }
}
