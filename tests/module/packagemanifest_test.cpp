// The identity package's manifest as the build wrote it, read with the
// system's XML reader and held against the DLL and the program it names.
#include <windows.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "channel/applicationstart.h"
#include "module/classids.h"
#include "support/dllundertest.h"
#include "syncshellversion.h"

namespace {
// Prefixes only for the element paths below; the reader resolves every
// element's namespace, so a mistyped namespace shows as "?:".
struct Namespace {
  const wchar_t* prefix;
  const wchar_t* uri;
};
constexpr Namespace namespaces[] = {
    {L"", L"http://schemas.microsoft.com/appx/manifest/foundation/windows10"},
    {L"uap:", L"http://schemas.microsoft.com/appx/manifest/uap/windows10"},
    {L"uap10:", L"http://schemas.microsoft.com/appx/manifest/uap/windows10/10"},
    {L"desktop4:", L"http://schemas.microsoft.com/appx/manifest/desktop/windows10/4"},
    {L"desktop5:", L"http://schemas.microsoft.com/appx/manifest/desktop/windows10/5"},
    {L"com:", L"http://schemas.microsoft.com/appx/manifest/com/windows10"},
    {L"rescap:", L"http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities"},
};

std::wstring PrefixOf(const std::wstring& uri) {
  for (const Namespace& known : namespaces)
    if (uri == known.uri) return known.prefix;
  return L"?:";
}

struct Element {
  std::wstring path;  // "Package/Applications/Application/..." with prefixes
  std::wstring text;
  std::map<std::wstring, std::wstring> attributes;  // the unprefixed ones
  int parent = -1;

  std::wstring Get(const wchar_t* name) const {
    const auto found = attributes.find(name);
    return found == attributes.end() ? L"<absent>" : found->second;
  }
};

std::wstring ManifestDirectory() { return SYNCSHELL_PACKAGE_DIR_W; }

std::wstring FileNameOf(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

// "581FFAnn-..." as the manifest writes class ids: without braces.
std::wstring BareClassId(unsigned index) {
  const std::wstring text = FormatClassId(index);
  return text.substr(1, text.size() - 2);
}

class Manifest {
 public:
  // Every element of the file in document order; empty, or the reader's
  // failure and the line where it stopped.
  std::wstring Read(const std::wstring& file) {
    using CreateReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
    const HMODULE library = LoadLibraryW(L"xmllite.dll");
    const auto create = reinterpret_cast<CreateReader>(
        reinterpret_cast<void*>(library ? GetProcAddress(library, "CreateXmlReader") : nullptr));
    if (!create) return L"no CreateXmlReader";
    IStream* stream = nullptr;
    IXmlReader* reader = nullptr;
    HRESULT result = SHCreateStreamOnFileEx(file.c_str(), STGM_READ, 0, FALSE, nullptr, &stream);
    if (SUCCEEDED(result)) result = create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader), nullptr);
    if (SUCCEEDED(result)) result = reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    if (SUCCEEDED(result)) result = reader->SetInput(stream);
    if (SUCCEEDED(result)) result = ReadAll(reader);
    UINT line = 0;
    if (FAILED(result) && reader) reader->GetLineNumber(&line);
    if (reader) reader->Release();
    if (stream) stream->Release();
    wchar_t failure[48] = L"";
    if (FAILED(result)) swprintf(failure, 48, L"0x%08lX at line %u", static_cast<unsigned long>(result), line);
    return failure;
  }

  std::vector<const Element*> At(const std::wstring& path) const {
    std::vector<const Element*> found;
    for (const Element& element : elements)
      if (element.path == path) found.push_back(&element);
    return found;
  }

  const Element& Parent(const Element& element) const { return elements.at(element.parent); }

 private:
  HRESULT ReadAll(IXmlReader* reader) {
    std::vector<int> open;
    XmlNodeType type;
    HRESULT result;
    const wchar_t* text = nullptr;
    while ((result = reader->Read(&type)) == S_OK) {
      if (type == XmlNodeType_EndElement) {
        open.pop_back();
      } else if (type == XmlNodeType_Text && !open.empty()) {
        reader->GetValue(&text, nullptr);
        elements[open.back()].text += text;
      } else if (type == XmlNodeType_Element) {
        Element element;
        element.parent = open.empty() ? -1 : open.back();
        reader->GetNamespaceUri(&text, nullptr);
        element.path = (open.empty() ? L"" : elements[open.back()].path + L"/") + PrefixOf(text);
        reader->GetLocalName(&text, nullptr);
        element.path += text;
        const bool empty = reader->IsEmptyElement();
        for (HRESULT more = reader->MoveToFirstAttribute(); more == S_OK; more = reader->MoveToNextAttribute()) {
          reader->GetNamespaceUri(&text, nullptr);
          if (*text) continue;  // namespace declarations and prefixed attributes
          reader->GetLocalName(&text, nullptr);
          std::wstring name = text;
          reader->GetValue(&text, nullptr);
          element.attributes[name] = text;
        }
        elements.push_back(element);
        if (!empty) open.push_back(static_cast<int>(elements.size()) - 1);
      }
    }
    return result;
  }

  std::vector<Element> elements;
};

const std::wstring application = L"Package/Applications/Application";
const std::wstring contextMenus =
    application + L"/Extensions/desktop4:Extension/desktop4:FileExplorerContextMenus/desktop5:ItemType";
const std::wstring verbs = contextMenus + L"/desktop5:Verb";
const std::wstring classes =
    application + L"/Extensions/com:Extension/com:ComServer/com:SurrogateServer/com:Class";

class PackageManifest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring error = manifest.Read(ManifestDirectory() + L"\\AppxManifest.xml");
    ASSERT_EQ(error, L"");
  }

  // The one value of path's attribute, or "<absent>"/"<n elements>".
  std::wstring Single(const std::wstring& path, const wchar_t* attribute) const {
    const auto found = manifest.At(path);
    if (found.size() != 1) return L"<" + std::to_wstring(found.size()) + L" elements>";
    return found[0]->Get(attribute);
  }

  Manifest manifest;
};

TEST_F(PackageManifest, IdentityIsTheDllsVersionAndTheProgramIsTheOneTheExtensionStarts) {
  const std::wstring version = std::to_wstring(SYNCSHELL_VERSION_MAJOR) + L"." +
                               std::to_wstring(SYNCSHELL_VERSION_MINOR) + L"." +
                               std::to_wstring(SYNCSHELL_VERSION_PATCH) + L".0";
  EXPECT_EQ(Single(L"Package/Identity", L"Version"), version);
  EXPECT_EQ(Single(application, L"Executable"), FileNameOf(ApplicationExecutableIn(L"C:\\Install")))
      << "the program the extension itself starts";
}

TEST_F(PackageManifest, FilesAndFoldersEachOfferBothInstallationsCommands) {
  const std::set<std::wstring> both{BareClassId(UserCommandClass), BareClassId(ServiceCommandClass)};
  std::set<std::wstring> types;
  for (const Element* type : manifest.At(contextMenus)) types.insert(type->Get(L"Type"));
  EXPECT_EQ(types, (std::set<std::wstring>{L"*", L"Directory"}));
  for (const std::wstring type : {L"*", L"Directory"}) {
    std::set<std::wstring> ids, names;
    for (const Element* verb : manifest.At(verbs)) {
      if (manifest.Parent(*verb).Get(L"Type") != type) continue;
      ids.insert(verb->Get(L"Clsid"));
      names.insert(verb->Get(L"Id"));
    }
    EXPECT_EQ(ids, both) << type;
    EXPECT_EQ(names.size(), 2u) << type << ": one verb name per installation";
  }
}

TEST_F(PackageManifest, DeclaresBothCommandClassesInTheDll) {
  std::set<std::wstring> ids;
  for (const Element* declared : manifest.At(classes)) {
    ids.insert(declared->Get(L"Id"));
    EXPECT_EQ(declared->Get(L"Path"), FileNameOf(DllUnderTest::Path())) << "relative to the install folder";
  }
  EXPECT_EQ(ids, (std::set<std::wstring>{BareClassId(UserCommandClass), BareClassId(ServiceCommandClass)}));
}

// Each logo the manifest names is beside it at the size of its role.
TEST_F(PackageManifest, NamesLogosThatAreThereAtTheirSizes) {
  const auto storeLogo = manifest.At(L"Package/Properties/Logo");
  ASSERT_EQ(storeLogo.size(), 1u);
  const struct {
    std::wstring file;
    unsigned size;
  } logos[] = {
      {storeLogo[0]->text, 50},
      {Single(application + L"/uap:VisualElements", L"Square44x44Logo"), 44},
      {Single(application + L"/uap:VisualElements", L"Square150x150Logo"), 150},
  };
  for (const auto& logo : logos) {
    const std::wstring path = ManifestDirectory() + L"\\" + logo.file;
    FILE* file = _wfopen(path.c_str(), L"rb");
    ASSERT_NE(file, nullptr) << path;
    unsigned char header[24] = {};
    const size_t read = fread(header, 1, sizeof header, file);
    fclose(file);
    ASSERT_TRUE(read == sizeof header && memcmp(header + 12, "IHDR", 4) == 0) << path << " is no PNG";
    const auto bigEndian = [&](int at) {
      return unsigned(header[at]) << 24 | unsigned(header[at + 1]) << 16 | unsigned(header[at + 2]) << 8 |
             header[at + 3];
    };
    EXPECT_EQ(bigEndian(16), logo.size) << path;
    EXPECT_EQ(bigEndian(20), logo.size) << path;
  }
}

}  // namespace
