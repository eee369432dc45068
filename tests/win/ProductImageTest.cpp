// The built program's image file as Windows' loader sees it before any of its
// code runs: the header flags, the DLLs it imports and the manifest it
// carries. Read from the file itself, byte by byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/DllSearch.h"

namespace {

struct Image {
  std::vector<unsigned char> bytes;
  const IMAGE_FILE_HEADER* file = nullptr;
  const IMAGE_SECTION_HEADER* sections = nullptr;
  WORD magic = 0, dllCharacteristics = 0;
  const IMAGE_DATA_DIRECTORY* directories = nullptr;
  DWORD directoryCount = 0;

  template <typename T>
  const T* At(size_t offset) const {
    return offset + sizeof(T) <= bytes.size() ? reinterpret_cast<const T*>(bytes.data() + offset) : nullptr;
  }
  // File offset of a relative virtual address, or 0 when no section holds it.
  size_t Offset(DWORD rva) const {
    for (WORD i = 0; file && i < file->NumberOfSections; ++i) {
      const IMAGE_SECTION_HEADER& s = sections[i];
      const DWORD span = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + span) return rva - s.VirtualAddress + s.PointerToRawData;
    }
    return 0;
  }
  std::string StringAt(DWORD rva) const {
    const size_t o = Offset(rva);
    if (!o || o >= bytes.size()) return {};
    const char* p = reinterpret_cast<const char*>(bytes.data() + o);
    return std::string(p, strnlen(p, bytes.size() - o));
  }
  IMAGE_DATA_DIRECTORY Directory(int index) const {
    return static_cast<DWORD>(index) < directoryCount ? directories[index] : IMAGE_DATA_DIRECTORY{};
  }
};

bool Load(const std::wstring& path, Image& image) {
  std::ifstream in(path.c_str(), std::ios::binary);
  if (!in) return false;
  image.bytes.assign(std::istreambuf_iterator<char>(in), {});
  const auto* dos = image.At<IMAGE_DOS_HEADER>(0);
  if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
  const size_t nt = static_cast<size_t>(dos->e_lfanew);
  const auto* signature = image.At<DWORD>(nt);
  image.file = image.At<IMAGE_FILE_HEADER>(nt + 4);
  if (!signature || *signature != IMAGE_NT_SIGNATURE || !image.file) return false;
  const size_t optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);
  image.sections = image.At<IMAGE_SECTION_HEADER>(optional + image.file->SizeOfOptionalHeader);
  const auto* magic = image.At<WORD>(optional);
  if (!magic || !image.sections) return false;
  image.magic = *magic;
  if (image.magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
    const auto* h = image.At<IMAGE_OPTIONAL_HEADER32>(optional);
    if (!h) return false;
    image.dllCharacteristics = h->DllCharacteristics;
    image.directories = h->DataDirectory;
    image.directoryCount = std::min<DWORD>(h->NumberOfRvaAndSizes, IMAGE_NUMBEROF_DIRECTORY_ENTRIES);
  } else {
    const auto* h = image.At<IMAGE_OPTIONAL_HEADER64>(optional);
    if (!h) return false;
    image.dllCharacteristics = h->DllCharacteristics;
    image.directories = h->DataDirectory;
    image.directoryCount = std::min<DWORD>(h->NumberOfRvaAndSizes, IMAGE_NUMBEROF_DIRECTORY_ENTRIES);
  }
  return true;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](char c) { return static_cast<char>(tolower(c)); });
  return s;
}

// Every DLL the loader maps at start.
std::vector<std::string> ImportedDlls(const Image& image) {
  std::vector<std::string> names;
  if (size_t o = image.Offset(image.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress)) {
    for (const IMAGE_IMPORT_DESCRIPTOR* d; (d = image.At<IMAGE_IMPORT_DESCRIPTOR>(o)) && d->Name; o += sizeof *d)
      names.push_back(Lower(image.StringAt(d->Name)));
  }
  return names;
}

// A delay-import record: addresses relative to the image, each of them inside
// it, naming a DLL.
bool IsDelayDescriptor(const Image& image, const IMAGE_DELAYLOAD_DESCRIPTOR& d) {
  if (d.Attributes.AllAttributes != 1 || !d.DllNameRVA) return false;
  for (DWORD rva : {d.DllNameRVA, d.ModuleHandleRVA, d.ImportAddressTableRVA, d.ImportNameTableRVA})
    if (!image.Offset(rva)) return false;
  const std::string name = Lower(image.StringAt(d.DllNameRVA));
  return name.size() > 4 && name.compare(name.size() - 4, 4, ".dll") == 0;
}

// Every DLL the program maps on first call. Microsoft's linker lists them in
// the delay-import directory; GNU ld leaves that entry empty, so without it
// the sections are searched for the records the delay-load helper reads.
std::vector<std::string> DelayLoadedDlls(const Image& image) {
  std::vector<std::string> names;
  if (size_t o = image.Offset(image.Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).VirtualAddress)) {
    for (const IMAGE_DELAYLOAD_DESCRIPTOR* d; (d = image.At<IMAGE_DELAYLOAD_DESCRIPTOR>(o)) && d->DllNameRVA;
         o += sizeof *d)
      names.push_back(Lower(image.StringAt(d->DllNameRVA)));
    return names;
  }
  for (WORD i = 0; i < image.file->NumberOfSections; ++i) {
    const IMAGE_SECTION_HEADER& s = image.sections[i];
    for (size_t o = s.PointerToRawData; o + sizeof(IMAGE_DELAYLOAD_DESCRIPTOR) <= s.PointerToRawData + s.SizeOfRawData;
         o += sizeof(DWORD)) {
      const auto* d = image.At<IMAGE_DELAYLOAD_DESCRIPTOR>(o);
      if (d && IsDelayDescriptor(image, *d)) names.push_back(Lower(image.StringAt(d->DllNameRVA)));
    }
  }
  return names;
}

// The text of the first RT_MANIFEST resource.
std::string Manifest(const Image& image) {
  const size_t base = image.Offset(image.Directory(IMAGE_DIRECTORY_ENTRY_RESOURCE).VirtualAddress);
  if (!base) return {};
  // Type, then name, then language: the first entry at each level below the type.
  DWORD entryOffset = 0;
  for (int level = 0; level < 3; ++level) {
    const auto* dir = image.At<IMAGE_RESOURCE_DIRECTORY>(base + entryOffset);
    if (!dir) return {};
    const auto* entries = image.At<IMAGE_RESOURCE_DIRECTORY_ENTRY>(base + entryOffset + sizeof *dir);
    const int count = dir->NumberOfNamedEntries + dir->NumberOfIdEntries;
    const IMAGE_RESOURCE_DIRECTORY_ENTRY* chosen = nullptr;
    for (int i = 0; entries && i < count; ++i) {
      if (!image.At<IMAGE_RESOURCE_DIRECTORY_ENTRY>(base + entryOffset + sizeof *dir + i * sizeof *entries)) return {};
      if (level > 0 || (!entries[i].NameIsString && entries[i].Id == 24 /* RT_MANIFEST */)) {
        chosen = &entries[i];
        break;
      }
    }
    if (!chosen) return {};
    entryOffset = chosen->OffsetToDirectory;
    if (level < 2 && !chosen->DataIsDirectory) return {};
  }
  const auto* data = image.At<IMAGE_RESOURCE_DATA_ENTRY>(base + entryOffset);
  const size_t o = data ? image.Offset(data->OffsetToData) : 0;
  if (!o || o + data->Size > image.bytes.size()) return {};
  return std::string(reinterpret_cast<const char*>(image.bytes.data() + o), data->Size);
}

// Looked up by the loader in its own list, never beside the program. The
// common controls are not among them: the manifest binds them to the side-
// by-side assembly, which a file beside the program cannot replace.
const char* const kKnownDlls[] = {"advapi32.dll", "comdlg32.dll", "gdi32.dll",   "kernel32.dll", "msvcrt.dll",
                                  "ole32.dll",    "oleaut32.dll", "shell32.dll", "shlwapi.dll",  "user32.dll"};

}  // namespace

TEST(ProductImage, IsHardenedImportsOnlySystemDllsAndRunsAsInvoker) {
  const struct {
    const wchar_t* path;
    WORD machine;
    WORD characteristics, dllCharacteristics;
  } images[] = {
    {VORPA_PRODUCT_EXE, IMAGE_FILE_MACHINE_I386, IMAGE_FILE_LARGE_ADDRESS_AWARE | IMAGE_FILE_EXECUTABLE_IMAGE,
     IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT |
         IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE},
#if defined(_WIN64)
    {VORPA_OWN_EXE, IMAGE_FILE_MACHINE_AMD64, IMAGE_FILE_LARGE_ADDRESS_AWARE | IMAGE_FILE_EXECUTABLE_IMAGE,
     IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT |
         IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE | IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA},
#endif
  };
  for (const auto& want : images) {
    SCOPED_TRACE(testing::Message() << "image " << testing::PrintToString(std::wstring(want.path)));
    Image image;
    ASSERT_TRUE(Load(want.path, image)) << "not found or not an image; the 32-bit product is built first";
    EXPECT_EQ(image.file->Machine, want.machine);
    EXPECT_EQ(image.file->Characteristics & want.characteristics, want.characteristics);
    EXPECT_EQ(image.dllCharacteristics & want.dllCharacteristics, want.dllCharacteristics);
    // An image whose relocations were dropped cannot be moved, whatever its flags say.
    EXPECT_EQ(image.file->Characteristics & IMAGE_FILE_RELOCS_STRIPPED, 0);
    EXPECT_GT(image.Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC).Size, 0u);

    const std::vector<std::string> atStart = ImportedDlls(image), onFirstCall = DelayLoadedDlls(image);
    EXPECT_FALSE(atStart.empty());
    // Not needed before the window's first paint: mapped on first call,
    // after the program has restricted the DLL search.
    for (const char* dll : {"comdlg32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll"}) {
      EXPECT_EQ(std::count(onFirstCall.begin(), onFirstCall.end(), dll), 1) << dll << " is not delay-loaded";
      EXPECT_EQ(std::count(atStart.begin(), atStart.end(), dll), 0) << dll << " is mapped at start";
    }
    std::vector<std::string> dlls = atStart;
    dlls.insert(dlls.end(), onFirstCall.begin(), onFirstCall.end());
    for (const std::string& dll : dlls) {
      const bool known =
          std::any_of(std::begin(kKnownDlls), std::end(kKnownDlls), [&](const char* k) { return dll == k; });
      EXPECT_TRUE(known || dll == "comctl32.dll") << dll << " is looked up beside the program";
    }

    const std::string manifest = Manifest(image);
    for (const char* part : {
             "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
             "<supportedOS Id=\"{e2011457-1546-43c5-a5fe-008deee3d3f0}\"/>",  // Vista
             "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",  // 7
             "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>",  // 8
             "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>",  // 8.1
             "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",  // 10 and 11
         })
      EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
}

// vorpa_testplant.dll lies beside this program, where a planted DLL would.
TEST(DllSearch, ADllBesideTheProgramIsNotLoadedOnceTheSearchIsRestricted) {
  HMODULE found = LoadLibraryW(L"vorpa_testplant.dll");
  ASSERT_NE(found, nullptr) << "the stand-in DLL is not beside the tests";
  FreeLibrary(found);
  EXPECT_EQ(GetModuleHandleW(L"vorpa_testplant.dll"), nullptr);

  EXPECT_TRUE(vorpa::RestrictDllSearch());
  HMODULE planted = LoadLibraryW(L"vorpa_testplant.dll");
  EXPECT_EQ(planted, nullptr);
  if (planted) FreeLibrary(planted);
  // A system DLL is still found by its name.
  HMODULE system = LoadLibraryW(L"mpr.dll");
  EXPECT_NE(system, nullptr);
  if (system) FreeLibrary(system);

  // The tests that follow load as before.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}
