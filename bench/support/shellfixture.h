#pragma once
// What the menu and icon benchmarks share: the built DLL reached through its
// exports, a data object over a drop list, the application's registry values
// and presence mutex as a running per-user installation leaves them, and the
// raw system reads that the floors are made of.
#include <windows.h>
#include <objidl.h>
#include <unknwn.h>

#include <string>
#include <vector>

// The built DLL beside the benchmark, loaded the way a host loads it.
class BenchDll {
 public:
  BenchDll();
  ~BenchDll();
  BenchDll(const BenchDll&) = delete;
  BenchDll& operator=(const BenchDll&) = delete;

  HMODULE Module() const { return module; }
  // DllGetClassObject for the class index, then CreateInstance.
  HRESULT CreateObject(unsigned classIndex, REFIID riid, void** ppv) const;

 private:
  using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  HMODULE module = nullptr;
  GetClassObjectFn getClassObject = nullptr;
};

// "{581FFAnn-FC33-0000-0602-95003A5CDE89}" of the class index.
CLSID BenchClassId(unsigned classIndex);
inline constexpr unsigned userMenuClass = 0;
inline constexpr unsigned userIconClass = 1;

// A data object whose only format is CF_HDROP over the paths; each GetData
// hands out a fresh copy, as the shell's does. Holds one reference.
IDataObject* NewDropDataObject(const std::vector<std::wstring>& paths);

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

// A folder under the temporary folder, removed with its contents at the end.
class BenchFolder {
 public:
  BenchFolder();
  ~BenchFolder();
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;
  const std::wstring& Path() const { return path; }

 private:
  std::wstring path;
};

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
void MakeFolder(const std::wstring& path);
// ".sync\ID" with the identity record in its stream.
void MakeSyncRoot(const std::wstring& root, int type, int mode, const std::wstring& owner);
std::wstring UserName();

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
