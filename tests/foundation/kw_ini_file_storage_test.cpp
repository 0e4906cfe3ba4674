// kw_ini_file_storage_test.cpp: loading and saving INI files on disk: byte
// round trips in ANSI and UTF-16LE, the encoding fallback, safe replacing,
// and the file errors.
#include "foundation/kw_ini_file.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/scoped_handle.h"
#include "gtest/gtest.h"
#include "tests/support/test_support.h"

namespace {

struct CCaught {
  bool thrown = false;
  int kind = 0;
  int code = 0;
  std::wstring message;
};

template <class Action>
CCaught Catch(Action action) {
  CCaught caught;
  try {
    action();
  } catch (CKwIniFileException* raw) {
    std::unique_ptr<CKwIniFileException> e(raw);
    caught = CCaught{true, e->GetKind(), e->GetCode(), e->GetMessageText()};
  }
  return caught;
}

std::string Utf16Bytes(const std::wstring& text, bool mark = true) {
  std::string bytes = mark ? std::string("\xFF\xFE", 2) : std::string();
  bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  return bytes;
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

std::wstring ValueOf(const CKwIniFile& file, const wchar_t* section, const wchar_t* key) {
  std::wstring value;
  file.GetValue(section, key, &value, L"<none>");
  return value;
}

}  // namespace

TEST(CKwIniFileStorageTest, LoadAndSaveReproduceTheBytes) {
  std::string cp1252;  // Wine's ANSI code page is 1252: every byte 0x80-0x9F
  for (int b = 0x80; b <= 0x9F; ++b) cp1252 += static_cast<char>(b);
  const std::string kLongAnsi = "[S]\r\nLong=" + std::string(5995, 'x') + "\r\n";
  const std::wstring kLongWide = L"[S]\r\nLong=" + std::wstring(5995, L'\x4E2D') + L"\r\n";
  // Longer than the reader's 64 KB read-ahead.
  const std::string kHugeAnsi = "[S]\r\nHuge=" + std::string(70000, 'h') + "\r\nk=v\r\n";
  const std::wstring kHugeWide = L"[S]\r\nHuge=" + std::wstring(40000, L'h') + L"\r\nk=v\r\n";
  struct {
    const char* name;
    std::string bytes;
    bool utf16;
  } const kCases[] = {
      {"ansi", "; top\r\nTop=1\r\n[Setup]\r\n  Key = Value \r\nraw line\r\n[Other]\r\na\"b=c\r\n", false},
      {"empty", "", false},
      {"cp1252", "[S]\r\nK=" + cp1252 + "\r\n;" + cp1252 + "\r\n", false},
      // A UTF-8 mark is no UTF-16 mark: three ANSI characters, kept.
      {"utf8 mark", "\xEF\xBB\xBF[S]\r\nk=\xC3\xA9\r\n", false},
      {"utf16", Utf16Bytes(L"; top\r\n[Setup]\r\n  Name = \x4E2D\x6587 \r\n[Other]\r\nk=\x20AC\r\n"), true},
      {"utf16 mark only", "\xFF\xFE", true},
      {"long ansi", kLongAnsi, false},
      {"long utf16", Utf16Bytes(kLongWide), true},
      {"huge ansi", kHugeAnsi, false},
      {"huge utf16", Utf16Bytes(kHugeWide), true},
  };
  CTestFolder folder;
  for (const auto& row : kCases) {
    std::wstring path = folder.File(L"round.ini");
    WriteFileBytes(path, row.bytes);
    CKwIniFile file;
    file.Init(false);
    CCaught caught = Catch([&] { file.LoadFrom(path); });
    ASSERT_FALSE(caught.thrown) << row.name << ": " << caught.message.c_str();
    EXPECT_EQ(row.utf16, file.IsUtf16()) << row.name;
    WriteFileBytes(path, "overwritten");
    caught = Catch([&] { file.Save(); });
    ASSERT_FALSE(caught.thrown) << row.name << ": " << caught.message.c_str();
    EXPECT_EQ(row.bytes, ReadFileBytes(path)) << row.name;
  }
}

TEST(CKwIniFileStorageTest, LoadDecodesTheAnsiCodePageAndReadsLongLinesWhole) {
  CTestFolder folder;
  std::wstring path = folder.File(L"a.ini");
  WriteFileBytes(path, "[S]\r\nEuro=\x80\x9F\r\nLong=" + std::string(6000, 'y') + "\nLast=1");
  CKwIniFile file;
  file.Init(false);
  file.LoadFrom(path);
  EXPECT_EQ(L"\x20AC\x0178", ValueOf(file, L"S", L"Euro"));
  EXPECT_EQ(std::wstring(6000, L'y'), ValueOf(file, L"S", L"Long"));
  EXPECT_EQ(L"1", ValueOf(file, L"S", L"Last"));
}

TEST(CKwIniFileStorageTest, LineEndsAreNormalisedToCrLf) {
  struct {
    const char* name;
    std::string bytes;
    std::string saved;
  } const kCases[] = {
      {"lf only", "[S]\nk=v\n", "[S]\r\nk=v\r\n"},
      {"no final break", "[S]\r\nk=v", "[S]\r\nk=v\r\n"},
      {"empty lines", "\r\n[S]\r\n\r\nk=v\r\n\r\n", "[S]\r\nk=v\r\n"},
      {"lone cr inside", "[S]\r\nk=a\rb\r\n", "[S]\r\nk=a\rb\r\n"},
      {"utf16 lf only", Utf16Bytes(L"[S]\nk=v"), Utf16Bytes(L"[S]\r\nk=v\r\n")},
      {"utf16 odd byte", Utf16Bytes(L"[S]\r\nk=v\r\n") + "x", Utf16Bytes(L"[S]\r\nk=v\r\n")},
  };
  CTestFolder folder;
  for (const auto& row : kCases) {
    std::wstring path = folder.File(L"ends.ini");
    WriteFileBytes(path, row.bytes);
    CKwIniFile file;
    file.Init(false);
    file.LoadFrom(path);
    file.Save();
    EXPECT_EQ(row.saved, ReadFileBytes(path)) << row.name;
  }
}

TEST(CKwIniFileStorageTest, FormatNumberComesFromACompleteMarkerLine) {
  struct {
    const char* bytes;
    int number;
  } const kCases[] = {
      {";~^#42\r\n[S]\r\n", 42}, {"[S]\r\n;~^#7\n", 7}, {";~^#x\r\n", 0},
      {";~^#42", 0},  // no line break after it
      {"; ~^#42\r\n", 0}, {"", 0},
  };
  CTestFolder folder;
  for (const auto& row : kCases) {
    std::wstring path = folder.File(L"format.ini");
    WriteFileBytes(path, row.bytes);
    CKwIniFile file;
    file.Init(false);
    file.LoadFrom(path);
    EXPECT_EQ(row.number, file.GetFormatNumber()) << row.bytes;
  }
}

// Text the ANSI code page cannot hold makes the file UTF-16LE, never '?'.
TEST(CKwIniFileStorageTest, UnrepresentableTextIsSavedAsUtf16) {
  struct {
    const wchar_t* value;
    bool utf16;
  } const kCases[] = {
      {L"plain", false},
      {L"caf\x00E9 \x20AC", false},
      {L"\x4E2D\x6587", true},
      {L"\x0100", true},  // best-fit would write 'A'
      {L"\xD800", true},  // lone surrogate
  };
  CTestFolder folder;
  for (const auto& row : kCases) {
    std::wstring path = folder.File(L"new.ini");
    DeleteFileW(path.c_str());
    CKwIniFile file;
    file.Init(false);
    file.AddSection(L"S");
    CKwIniSection* section = nullptr;
    ASSERT_TRUE(file.FindSection(L"S", &section));
    section->SetValue(L"Name", row.value);
    file.SaveAs(path);
    std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(row.utf16, bytes.compare(0, 2, "\xFF\xFE") == 0) << row.value;
    EXPECT_EQ(row.utf16, file.IsUtf16());
    CKwIniFile reloaded;
    reloaded.Init(false);
    reloaded.LoadFrom(path);
    EXPECT_EQ(row.value, ValueOf(reloaded, L"S", L"Name"));
  }
}

TEST(CKwIniFileStorageTest, LoadErrorsGiveKindCodeAndText) {
  CTestFolder folder;
  std::wstring missing = folder.File(L"missing.ini");
  CKwIniFile file;
  file.Init(false);
  CCaught caught = Catch([&] { file.Load(); });
  EXPECT_EQ(5, caught.kind);
  EXPECT_EQ(123, caught.code);
  EXPECT_EQ(L"The filename member of CIniFile has not been initialized.", caught.message);

  caught = Catch([&] { file.LoadFrom(missing); });
  EXPECT_EQ(4, caught.kind);
  EXPECT_EQ(2, caught.code);
  EXPECT_EQ(L"Call to CTCharStream::OpenStream( " + missing + L" ) failed.", caught.message);
  EXPECT_EQ(L"", file.GetFileName());

  // A refused line keeps what was read before it.
  std::wstring bad = folder.File(L"bad.ini");
  WriteFileBytes(bad, "[A]\r\nk=v\r\n[]\r\n[B]\r\n");
  caught = Catch([&] { file.LoadFrom(bad); });
  EXPECT_EQ(4, caught.kind);
  EXPECT_EQ(13, caught.code);
  EXPECT_EQ(L"Improperly formed section name.", caught.message);
  EXPECT_EQ(L"v", ValueOf(file, L"A", L"k"));
  CKwIniSection* section = nullptr;
  EXPECT_FALSE(file.FindSection(L"B", &section));
  EXPECT_EQ(L"", file.GetFileName());
}

TEST(CKwIniFileStorageTest, ReadErrorGivesItsCodeAndKeepsEarlierLines) {
  CTestFolder folder;
  std::wstring path = folder.File(L"locked.ini");
  std::string text = "[S]\r\nfirst=1\r\n";
  while (text.size() < 200000) text += "filler=0123456789\r\n";
  WriteFileBytes(path, text);
  CScopedHandle holder(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder.IsValid());
  OVERLAPPED range = {};
  range.Offset = 150000;
  ASSERT_TRUE(LockFileEx(holder.Get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 100, 0,
                         &range));
  {
    CScopedHandle reader(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string probe(200000, '\0');
    DWORD got = 0;
    if (ReadFile(reader.Get(), &probe[0], static_cast<DWORD>(probe.size()), &got, nullptr)) {
      GTEST_SKIP() << "Wine does not enforce byte-range locks on reads";
    }
  }
  CKwIniFile file;
  file.Init(false);
  CCaught caught = Catch([&] { file.LoadFrom(path); });
  EXPECT_EQ(4, caught.kind);
  EXPECT_EQ(33, caught.code);  // ERROR_LOCK_VIOLATION
  EXPECT_EQ(L"Failed to read line from file:" + path, caught.message);
  EXPECT_EQ(L"1", ValueOf(file, L"S", L"first"));
}

TEST(CKwIniFileStorageTest, SaveErrorsRestoreTheNameAndLeaveNoFiles) {
  CTestFolder folder;
  CKwIniFile file;
  file.Init(false);
  CCaught caught = Catch([&] { file.Save(); });
  EXPECT_EQ(4, caught.kind);
  EXPECT_EQ(123, caught.code);
  EXPECT_EQ(L"The filename member of CIniFile has not been initialized.", caught.message);

  std::wstring good = folder.File(L"good.ini");
  file.SaveAs(good);
  caught = Catch([&] { file.SaveAs(folder.File(L"no such folder\\x.ini")); });
  EXPECT_EQ(4, caught.kind);
  EXPECT_EQ(3, caught.code);  // ERROR_PATH_NOT_FOUND
  EXPECT_EQ(L"Failed to open the output stream", caught.message);
  EXPECT_EQ(good, file.GetFileName());
  EXPECT_EQ((std::vector<std::wstring>{L"good.ini"}), FolderEntries(folder.Path()));
}

// The old file survives a save that cannot replace it.
TEST(CKwIniFileStorageTest, FailedSaveLeavesTheOldFileIntact) {
  CTestFolder folder;
  std::wstring path = folder.File(L"keep.ini");
  const std::string kOld = "[S]\r\nk=old\r\n";
  WriteFileBytes(path, kOld);
  CKwIniFile file;
  file.Init(false);
  file.LoadFrom(path);
  CKwIniSection* section = nullptr;
  ASSERT_TRUE(file.FindSection(L"S", &section));
  section->SetValue(L"k", L"new");
  {
    // Open without delete sharing: the file cannot be replaced meanwhile.
    CScopedHandle holder(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.IsValid());
    CCaught caught = Catch([&] { file.Save(); });
    EXPECT_TRUE(caught.thrown);
    EXPECT_EQ(4, caught.kind);
    EXPECT_EQ(L"Failed to replace file:" + path, caught.message);
  }
  EXPECT_EQ(kOld, ReadFileBytes(path));
  EXPECT_EQ((std::vector<std::wstring>{L"keep.ini"}), FolderEntries(folder.Path()));
  file.Save();
  EXPECT_EQ("[S]\r\nk=new\r\n", ReadFileBytes(path));
}

namespace {

// Fails while writing its second section, after the first was written.
class CFailingWriteFile : public CKwIniFile {
 public:
  void WriteSection(CKwIniSection* section, std::vector<std::wstring>* output) override {
    if (++m_written == 2) throw new CKwIniFileException(4, 13, L"Failed to obtain enumerator.");
    CKwIniFile::WriteSection(section, output);
  }

 private:
  int m_written = 0;
};

}  // namespace

TEST(CKwIniFileStorageTest, SaveFailingHalfWayLeavesTheOldFileIntact) {
  CTestFolder folder;
  std::wstring path = folder.File(L"half.ini");
  const std::string kOld = "[A]\r\na=1\r\n[B]\r\nb=2\r\n";
  WriteFileBytes(path, kOld);
  CFailingWriteFile file;
  file.Init(false);
  file.LoadFrom(path);
  CCaught caught = Catch([&] { file.Save(); });
  EXPECT_EQ(L"Failed to obtain enumerator.", caught.message);
  EXPECT_EQ(kOld, ReadFileBytes(path));
  EXPECT_EQ((std::vector<std::wstring>{L"half.ini"}), FolderEntries(folder.Path()));
}
