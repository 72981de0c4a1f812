#pragma once
// What the menu and icon benchmarks add to the tests' fixtures (the DLL under
// test, drop lists, folders and records): the application's registry values
// and presence mutex as a running per-user installation leaves them, and the
// raw system reads that the floors are made of.
#include <windows.h>
#include <objidl.h>
#include <unknwn.h>

#include <string>
#include <vector>

#include "support/dllundertest.h"
#include "support/menuharness.h"
#include "support/testfiles.h"

// The classes the benchmarks create, as the per-user installation registers them.
inline const CLSID userMenuClass = TestClassId(0);
inline const CLSID userIconClass = TestClassId(1);

// The per-user application as it runs: its install location under
// HKEY_CURRENT_USER (so the scope is the user's), its presence mutex, the
// extension's log switched off. What was stored before comes back when the
// object goes.
class RunningApplication {
 public:
  explicit RunningApplication(const std::wstring& installFolder);
  ~RunningApplication();
  RunningApplication(const RunningApplication&) = delete;
  RunningApplication& operator=(const RunningApplication&) = delete;

  // False when a machine-wide install location exists (the scope would not
  // be the user's) or the mutex could not be made.
  bool Ready() const { return ready; }
  // The extension's log switch; off unless switched on here.
  void SwitchLog(bool on);

 private:
  struct SavedValue {
    std::wstring key;
    std::wstring name;
    bool existed = false;
    DWORD type = 0;
    std::vector<BYTE> data;
  };
  void Set(const std::wstring& key, const std::wstring& name, DWORD type, const void* data, DWORD size);

  std::vector<SavedValue> saved;
  HANDLE mutex = nullptr;
  bool ready = false;
};

// The least the system must do to read a record stream: open, size, read,
// close. False when the stream does not open.
bool ReadStreamFloor(const std::wstring& streamPath);
// The marker walk of a path: each enclosing folder's ".sync\ID" attributes
// until one is a file. The root found, or empty.
std::wstring FindRootFloor(const std::wstring& path);

// Collects timings of one kind and gives their median.
class Samples {
 public:
  void Add(double ns) { values.push_back(ns); }
  double Median() const;
  bool Empty() const { return values.empty(); }

 private:
  std::vector<double> values;
};

// One row of the shell benchmarks' table: the median, its floor and the ratio,
// and the shell's own work for the same thing when there is one (0: none).
void ReportTimedRow(const char* benchmark, const char* caseName, const char* size, double medianNs,
                    double floorNs, double shellNs);
