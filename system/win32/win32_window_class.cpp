#include "system/win32/win32_window_class.h"

namespace {

// Shared: the system keeps the icon for the module's lifetime.
HICON ProgramIcon(HINSTANCE module, int widthMetric, int heightMetric) {
  return static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(WIN32_PROGRAM_ICON), IMAGE_ICON,
                                       GetSystemMetrics(widthMetric),
                                       GetSystemMetrics(heightMetric), LR_SHARED));
}

}  // namespace

bool RegisterWin32WindowClass(const char* name, WNDPROC procedure, UINT style) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = style;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hIcon = ProgramIcon(windowClass.hInstance, SM_CXICON, SM_CYICON);
  windowClass.hIconSm = ProgramIcon(windowClass.hInstance, SM_CXSMICON, SM_CYSMICON);
  windowClass.lpszClassName = name;
  return RegisterClassExA(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}
