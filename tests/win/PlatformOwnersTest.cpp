// The owners of COM references, BSTRs, VARIANTs and GDI objects give back
// what they hold exactly once, whichever way it leaves them; system exports
// come from the system folder alone.
#include <windows.h>

#include <objidl.h>
#include <shlwapi.h>

#include <functional>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "common/WinOwners.h"
#include "common/WinSystem.h"

using namespace vorpa;

namespace {

// A COM object that only counts: its count ends at 0 when every reference
// was given back once, at -1 after a second release, above 0 after a leak.
// It is never deleted, so that a release too many is seen, not undefined.
class Counted final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) ? this : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
  LONG refs = 1;  // the reference its creator holds
};

// Counts the task allocator's frees on this process, where BSTRs go once
// the string cache is off.
class FreeCounter final : public IMallocSpy {
 public:
  FreeCounter() {
    if (const auto noCache = SystemExport<void(WINAPI*)()>(L"oleaut32.dll", "SetOaNoCache")) noCache();
    registered = SUCCEEDED(CoRegisterMallocSpy(this));
  }
  ~FreeCounter() {
    if (registered) CoRevokeMallocSpy();
  }
  bool registered = false;
  int frees = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMallocSpy) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cb) override { return cb; }
  void* STDMETHODCALLTYPE PostAlloc(void* p) override { return p; }
  void* STDMETHODCALLTYPE PreFree(void* p, BOOL) override {
    if (p) ++frees;
    return p;
  }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* p, SIZE_T cb, void** out, BOOL) override {
    *out = p;
    return cb;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* p, BOOL) override { return p; }
  void* STDMETHODCALLTYPE PreGetSize(void* p, BOOL) override { return p; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T cb, BOOL) override { return cb; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* p, BOOL) override { return p; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}
};

UniqueVariant HoldingObject(Counted& object) {
  UniqueVariant v;
  VARIANT* raw = v.put();
  raw->vt = VT_UNKNOWN;
  raw->punkVal = &object;  // the creator's reference, handed over
  return v;
}

}  // namespace

// Each way of letting go, with two objects each created holding one
// reference that the case hands to an owner.
TEST(PlatformOwners, ComReferencesAndVariantsGiveEachReferenceBackOnce) {
  using Ptr = ComPtr<IUnknown>;
  const struct {
    const char* name;
    std::function<void(Counted&, Counted&)> run;
  } cases[] = {
      {"shared, then moved to a new owner",
       [](Counted& a, Counted& b) {
         Ptr p = Ptr::Share(&a);
         a.Release();
         Ptr q(std::move(p)), r(&b);
         EXPECT_FALSE(p);
       }},
      {"moved over a held one",
       [](Counted& a, Counted& b) {
         Ptr p(&a), q(&b);
         q = std::move(p);
         EXPECT_TRUE(b.refs == 0 && a.refs == 1) << "the one moved over is released at once";
       }},
      {"moved onto itself",
       [](Counted& a, Counted& b) {
         Ptr p(&a), q(&b);
         Ptr& same = p;
         p = std::move(same);
       }},
      {"detached and reset",
       [](Counted& a, Counted& b) {
         Ptr p(&a), q(&b);
         p.reset(q.detach());
         EXPECT_EQ(a.refs, 0);
       }},
      {"out-parameter over a held one",
       [](Counted& a, Counted& b) {
         Ptr p(&a);
         ASSERT_EQ(b.QueryInterface(IID_IUnknown, p.put_void()), S_OK);
         EXPECT_EQ(a.refs, 0);
         b.Release();  // the creator's own
       }},
      {"variant moved over a held one",
       [](Counted& a, Counted& b) {
         UniqueVariant v = HoldingObject(a), w = HoldingObject(b);
         w = std::move(v);
         EXPECT_TRUE(b.refs == 0 && v.get().vt == VT_EMPTY);
       }},
      {"variant moved, then a result over it",
       [](Counted& a, Counted& b) {
         UniqueVariant v = HoldingObject(a);
         UniqueVariant w(std::move(v));
         VARIANT* out = w.put();
         EXPECT_EQ(a.refs, 0);
         out->vt = VT_UNKNOWN;
         out->punkVal = &b;
       }},
  };
  for (const auto& c : cases) {
    Counted a, b;
    c.run(a, b);
    EXPECT_TRUE(a.refs == 0 && b.refs == 0) << c.name << ": " << a.refs << ", " << b.refs;
  }
}

// Real strings, freed by the system's allocator: each exactly once.
TEST(PlatformOwners, StringsAreFreedOnce) {
  const auto text = [](const wchar_t* s) { return UniqueBstr::FromText(s); };
  const struct {
    const char* name;
    int strings;
    std::function<void()> run;
  } cases[] = {
      {"moved, then moved over", 2,
       [&] {
         UniqueBstr s = text(L"a"), u = text(L"b");
         UniqueBstr t(std::move(s));
         u = std::move(t);
       }},
      {"out-parameter over a held one", 2, [&] { *text(L"a").put() = SysAllocString(L"b"); }},
      {"detached and adopted", 1, [&] { UniqueBstr adopted(text(L"a").detach()); }},
      {"inside a variant, moved and moved over", 2,
       [&] {
         UniqueVariant v(text(L"a"));
         UniqueVariant w(std::move(v));
         w = UniqueVariant(text(L"b"));
       }},
  };
  for (const auto& c : cases) {
    FreeCounter counter;
    ASSERT_TRUE(counter.registered);
    c.run();
    EXPECT_EQ(counter.frees, c.strings) << c.name;
  }
  EXPECT_EQ(UniqueBstr::FromText(std::wstring_view(L"a\0b", 3)).view(), std::wstring_view(L"a\0b", 3));
}

TEST(PlatformOwners, FontsAreDeletedByTheirLastOwner) {
  const auto font = [] {
    return UniqueFont(CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
  };
  const auto alive = [](HFONT h) { return GetObjectType(h) == OBJ_FONT; };
  HFONT first = nullptr, second = nullptr;
  {
    UniqueFont a = font(), b = font();
    first = a.get();
    second = b.get();
    ASSERT_TRUE(alive(first) && alive(second));
    UniqueFont c(std::move(a));
    EXPECT_TRUE(alive(first)) << "moving deletes nothing";
    b = std::move(c);
    EXPECT_FALSE(alive(second)) << "the one moved over is deleted";
    EXPECT_TRUE(alive(first));
  }
  EXPECT_FALSE(alive(first));
}

// vorpa_testplant.dll lies beside this program, where a planted DLL would;
// loaded by its name it is found there, and even while it is loaded it is
// not what a system export comes from.
TEST(SystemExport, ComesFromTheSystemFolderOnly) {
  HMODULE planted = LoadLibraryW(L"vorpa_testplant.dll");
  ASSERT_NE(planted, nullptr) << "the stand-in DLL is not beside the tests";
  ASSERT_NE(GetProcAddress(planted, "VorpaPlanted"), nullptr);
  const struct {
    const wchar_t* dll;
    const char* name;
    bool found;
  } cases[] = {
      {L"vorpa_testplant.dll", "VorpaPlanted", false}, {L"kernel32.dll", "SetDefaultDllDirectories", true},
      {L"user32.dll", "GetDpiForWindow", true},        {L"shlwapi.dll", "PathCreateFromUrlW", true},
      {L"winhttp.dll", "WinHttpOpen", true},           {L"vorpa-no-such.dll", "VorpaPlanted", false},
  };
  for (const auto& c : cases) {
    const auto fn = SystemExport<int(WINAPI*)()>(c.dll, c.name);
    EXPECT_EQ(fn != nullptr, c.found) << testing::PrintToString(std::wstring(c.dll)) << " " << c.name;
  }
  FreeLibrary(planted);
  // The function comes typed, ready to call.
  const auto convert = SystemExport<decltype(&::PathCreateFromUrlW)>(L"shlwapi.dll", "PathCreateFromUrlW");
  ASSERT_NE(convert, nullptr);
  wchar_t path[MAX_PATH];
  DWORD size = MAX_PATH;
  ASSERT_EQ(convert(L"file:///C:/a%20b.txt", path, &size, 0), S_OK);
  EXPECT_STREQ(path, L"C:\\a b.txt");
}
