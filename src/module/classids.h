#pragma once
#include <windows.h>

#include <string>

// Class indices of the module: 0/1 per-user menu/icon, 5/6 machine-wide;
// 0x10/0x15 the top-level command of the packaged menu, per user and
// machine-wide.
enum ClassIndex : unsigned {
  UserMenuClass = 0,
  UserIconClass = 1,
  ServiceMenuClass = 5,
  ServiceIconClass = 6,
  UserCommandClass = 0x10,
  ServiceCommandClass = 0x15,
};

// "{581FFAnn-FC33-0000-0602-95003A5CDE89}" for the class index nn.
std::wstring FormatClassId(unsigned index);

// The 16-byte identifier of FormatClassId(index).
CLSID ClassIdOf(unsigned index);
