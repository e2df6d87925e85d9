// The built Pixlane.chm read through Wine's own compiled-help storage
// (itss, which the HTML Help viewer opens topics through): every context the
// program asks for is in the file's map, and the map's target opens as a
// topic page there, so the viewer lands on the page, not on a missing one.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ui/ui_model.h"

namespace pixlane::ui {

// The storage interface of itss.dll, which mingw's headers lack; declared up
// to the one method used (the table's order must match up to there). Not in
// the anonymous namespace: there GCC sees that nothing in this file
// implements it and turns the calls into jumps to nowhere.
struct IITStorage : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE StgCreateDocfile(const WCHAR*, DWORD, DWORD, IStorage**) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgCreateDocfileOnILockBytes(ILockBytes*, DWORD, DWORD, IStorage**) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgIsStorageFile(const WCHAR*) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgIsStorageILockBytes(ILockBytes*) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgOpenStorage(const WCHAR*, IStorage*, DWORD, SNB, DWORD, IStorage**) = 0;
};

namespace {

constexpr GUID kClsidItStorage = {0x5d02926a, 0x212e, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};
constexpr GUID kIidItStorage = {0x88cc31de, 0x27ab, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};

template <class T>
struct ComRef {
  T* p = nullptr;
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() {
    if (p) p->Release();
  }
};

std::wstring HelpFilePath() {
  std::string path = PIXLANE_HELP_FILE;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return std::wstring(path.begin(), path.end());
}

// The whole stream `name` of the storage, or nothing when it cannot be opened.
bool ReadStream(IStorage* storage, const std::wstring& name, std::string& data) {
  ComRef<IStream> stream;
  if (FAILED(storage->OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream.p))) {
    return false;
  }
  data.clear();
  char buffer[4096];
  ULONG got = 0;
  while (SUCCEEDED(stream.p->Read(buffer, sizeof(buffer), &got)) && got > 0) data.append(buffer, got);
  return true;
}

// The storage object straight from itss.dll's class factory: COM's own
// start-up costs seconds under Wine and adds nothing here.
class HelpFile : public testing::Test {
 protected:
  void SetUp() override {
    itss_ = LoadLibraryW(L"itss.dll");
    ASSERT_NE(itss_, nullptr);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(itss_, "DllGetClassObject")));
    ASSERT_NE(getClassObject, nullptr);
    ComRef<IClassFactory> factory;
    ASSERT_TRUE(SUCCEEDED(getClassObject(kClsidItStorage, IID_IClassFactory, reinterpret_cast<void**>(&factory.p))));
    ASSERT_TRUE(SUCCEEDED(factory.p->CreateInstance(nullptr, kIidItStorage, reinterpret_cast<void**>(&reader_.p))));
    ASSERT_TRUE(SUCCEEDED(reader_.p->StgOpenStorage(HelpFilePath().c_str(), nullptr,
                                                    STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0, &file_.p)))
        << "cannot open " << PIXLANE_HELP_FILE;
  }
  void TearDown() override {
    if (file_.p) file_.p->Release();
    if (reader_.p) reader_.p->Release();
    file_.p = nullptr;
    reader_.p = nullptr;
    if (itss_) FreeLibrary(itss_);
  }

  HMODULE itss_ = nullptr;
  ComRef<IITStorage> reader_;
  ComRef<IStorage> file_;
};

TEST_F(HelpFile, EveryContextOfTheProgramOpensATopicPage) {
  std::string map;
  std::string strings;
  ASSERT_TRUE(ReadStream(file_.p, L"#IVB", map));
  ASSERT_TRUE(ReadStream(file_.p, L"#STRINGS", strings));
  ASSERT_GE(map.size(), 4u);
  uint32_t size = 0;
  std::memcpy(&size, map.data(), 4);
  ASSERT_LE(size, map.size() - 4);
  EXPECT_EQ(size / 8, 6u) << "one entry per context the program opens";
  for (int tab = -1; tab < 5; ++tab) {
    const uint32_t context = HelpContextForTab(tab);
    SCOPED_TRACE(context);
    std::string target;
    for (size_t at = 4; at + 8 <= 4 + size; at += 8) {
      uint32_t entry[2];
      std::memcpy(entry, map.data() + at, 8);
      if (entry[0] != context) continue;
      ASSERT_LT(entry[1], strings.size());
      target = strings.c_str() + entry[1];
    }
    ASSERT_FALSE(target.empty()) << "context not in the map";
    EXPECT_EQ(target.front(), '/') << target;
    std::string page;
    ASSERT_TRUE(ReadStream(file_.p, std::wstring(target.begin(), target.end()), page)) << target;
    EXPECT_NE(page.find("<title>"), std::string::npos) << target;
    EXPECT_NE(page.find("charset=Shift_JIS"), std::string::npos) << target;
  }
}

}  // namespace
}  // namespace pixlane::ui
