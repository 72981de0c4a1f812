// shellhost drives the built DLL like Explorer and writes what it sees.
#include <windows.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <string>

#include "iconhandler/iconpixels.h"
#include "support/childprocess.h"
#include "support/dllundertest.h"
#include "support/testfiles.h"

namespace {

DWORD RunShellhost(const std::wstring& arguments, const std::wstring& output) {
  ChildProcess shellhost(L"\"" + ProgramDirectory() + L"\\shellhost.exe\" " + arguments, output);
  return shellhost.Started() ? shellhost.Wait(60000) : STILL_ACTIVE;
}

UINT PngWidth(const std::wstring& path) {
  Gdiplus::Bitmap image(path.c_str());
  return image.GetLastStatus() == Gdiplus::Ok ? image.GetWidth() : 0;
}

TEST(Shellhost, WritesTheIconsAndTheSheetAndFailsInOneLine) {
  GdiplusSession gdiplus;
  TempFolder folder;
  const std::wstring placeholder = folder / L"report.docx.tmvs";
  ASSERT_TRUE(WriteBytes(placeholder, "") && WriteBytes(placeholder + L":com.tamvera.Sync", "d10:kvx_statusi50ee"));
  const std::wstring dll = L" --dll \"" + DllUnderTest::Path() + L"\"";
  const std::wstring out = folder / L"out";
  const std::wstring log = folder / L"log.txt";

  ASSERT_EQ(RunShellhost(L"icon \"" + placeholder + L"\" --out \"" + out + L"\" --sheet \"" + out +
                             L"\\sheet.png\"" + dll,
                         log),
            0u)
      << ReadBytes(log);
  EXPECT_EQ(PngWidth(out + L"\\report.docx.tmvs-256.png"), 256u);
  EXPECT_EQ(PngWidth(out + L"\\report.docx.tmvs-16.png"), 16u);
  EXPECT_GT(PngWidth(out + L"\\sheet.png"), 256u);

  for (const auto& [arguments, code, message] :
       {std::tuple{L"icon \"" + folder / L"missing.tmvs" + L"\" --out \"" + out + L"\"" + dll, 1u, "no such file"},
        std::tuple{L"icon \"" + placeholder + L"\" --out \"" + out + L"\"", 1u, "not registered"},
        std::tuple{L"icon \"" + placeholder + L"\" --out \"" + out + L"\" --dll \"" + folder / L"none.dll" + L"\"", 1u,
                   "cannot load"},
        std::tuple{L"icon \"" + placeholder + L"\" --size 32 --out \"" + out + L"\"", 2u, "--size"},
        std::tuple{std::wstring(L"paint"), 2u, "unknown command"}}) {
    EXPECT_EQ(RunShellhost(arguments, log), code) << message;
    const std::string text = ReadBytes(log);
    EXPECT_NE(text.find(message), std::string::npos) << text;
    EXPECT_EQ(text.find('\n'), text.size() - 1) << text;
  }
}

}  // namespace
