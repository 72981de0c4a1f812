#pragma once
// What the menu and icon benchmarks add to the tests' fixtures (the DLL under
// test, drop lists, folders and records): the application's registry values
// and presence mutex as a running per-user installation leaves them, and the
// raw system reads that the floors are made of.
#include <windows.h>
#include <objidl.h>
#include <unknwn.h>

#include <functional>
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

// A right-click as Explorer makes it on the classic menu: the object from
// the DLL's factory, Initialize with the selection, QueryContextMenu into a
// fresh menu, the final Release. False unless all our entries were offered;
// itemCount, when given, gets the menu's entries.
bool RightClick(const DllUnderTest& dll, IDataObject* selection, int* itemCount = nullptr, UINT flags = CMF_NORMAL);

// Items made in folder, in Explorer's order: folders first, then files by
// name. kinds cycles over 'f' ordinary file, 'w' waiting placeholder, 'r'
// placeholder being received.
std::vector<std::wstring> MakeItems(const std::wstring& folder, size_t folders, size_t total, const char* kinds);

// The selections both right-click benchmarks time, made under base: in a
// selective folder of type 2 that belongs to the current user, 50 folders
// and then 950 items cycling over each set of kinds; and one file outside.
inline constexpr char mixedKinds[] = "fwr";
inline constexpr char everyItemKinds[] = "fw";
struct BenchSelections {
  std::wstring root;
  std::vector<std::wstring> mixed;       // kinds mixedKinds
  std::vector<std::wstring> noDownload;  // kinds everyItemKinds: nothing being received
  std::wstring outsideFile;
};
BenchSelections MakeBenchSelections(const std::wstring& base);

// Collects timings of one kind and gives their median.
class Samples {
 public:
  void Add(double ns) { values.push_back(ns); }
  double Median() const;
  bool Empty() const { return values.empty(); }

 private:
  std::vector<double> values;
};

// Rounds of perRun calls of each piece of work in turn, so that the load of
// the machine falls on all alike; the first round warms up. The medians in
// the order given.
std::vector<double> InterleavedMedians(const std::vector<std::function<void()>>& work, int rounds, int perRun);

// One row of the shell benchmarks' table: the median, its floor and the ratio,
// and the shell's own work for the same thing when there is one (0: none).
void ReportTimedRow(const char* benchmark, const char* caseName, const char* size, double medianNs,
                    double floorNs, double shellNs);
