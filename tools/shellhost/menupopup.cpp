#include "menupopup.h"

#include <cstdio>
#include <iterator>

namespace {

constexpr wchar_t ownerClassName[] = L"ShellhostMenuOwner";
constexpr UINT_PTR closeTimer = 1;
// Beyond the hold, a menu loop that never dispatches the timer ends the tool.
constexpr DWORD watchdogGraceMs = 10000;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == closeTimer) {
    KillTimer(window, closeTimer);
    // The menu's modal loop runs on this thread and dispatches the timer.
    EndMenu();
    return 0;
  }
  if (message == WM_PAINT) {
    // The title inside as well: without a window manager there is no caption.
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    wchar_t title[256] = {};
    GetWindowTextW(window, title, static_cast<int>(std::size(title)));
    RECT area;
    GetClientRect(window, &area);
    InflateRect(&area, -12, -10);
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawTextW(dc, title, -1, &area, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

struct Watchdog {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD limitMs = 0;
  HANDLE thread = nullptr;

  static DWORD WINAPI Run(void* parameter) {
    auto* self = static_cast<Watchdog*>(parameter);
    if (WaitForSingleObject(self->done, self->limitMs) == WAIT_TIMEOUT) {
      std::fputws(L"shellhost: the popup menu did not close; giving up\n", stderr);
      ExitProcess(1);
    }
    return 0;
  }
  explicit Watchdog(DWORD limit) : limitMs(limit) {
    if (done) thread = CreateThread(nullptr, 0, &Run, this, 0, nullptr);
  }
  ~Watchdog() {
    if (done) SetEvent(done);
    if (thread) {
      WaitForSingleObject(thread, INFINITE);
      CloseHandle(thread);
    }
    if (done) CloseHandle(done);
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;
};

struct OwnerWindow {
  HWND handle = nullptr;
  ~OwnerWindow() {
    if (handle) DestroyWindow(handle);
  }
};

}  // namespace

PopupResult ShowPopupMenu(HMENU menu, const std::wstring& title, DWORD holdMs) {
  PopupResult result;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &OwnerProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = ownerClassName;
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    result.message = L"cannot register the owner window's class (error " + std::to_wstring(GetLastError()) + L")";
    return result;
  }
  OwnerWindow owner;
  owner.handle = CreateWindowExW(0, ownerClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 16, 16, 460, 120, nullptr,
                                 nullptr, instance, nullptr);
  if (!owner.handle) {
    result.message = L"cannot create a window (no display?)";
    return result;
  }
  ShowWindow(owner.handle, SW_SHOWNORMAL);
  UpdateWindow(owner.handle);
  // A popup's owner must be in the foreground, or the menu does not close
  // when it should.
  SetForegroundWindow(owner.handle);
  if (!SetTimer(owner.handle, closeTimer, holdMs, nullptr)) {
    result.message = L"cannot set the closing timer";
    return result;
  }
  Watchdog watchdog(holdMs + watchdogGraceMs);
  POINT at{48, 48};
  ClientToScreen(owner.handle, &at);
  SetLastError(ERROR_SUCCESS);
  const BOOL chosen = TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, at.x,
                                       at.y, owner.handle, nullptr);
  const DWORD error = GetLastError();
  KillTimer(owner.handle, closeTimer);
  if (!chosen && error != ERROR_SUCCESS) {
    result.message = L"TrackPopupMenuEx fails (error " + std::to_wstring(error) + L")";
    return result;
  }
  result.shown = true;
  result.chosen = static_cast<UINT>(chosen);
  return result;
}
