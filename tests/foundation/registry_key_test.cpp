// registry_key_test.cpp: CRegistryKey against the real registry of a 64-bit
// prefix: both views, exception types and texts, strict types, bounded reads
// and the multi-string layout.
#include "foundation/registry_key.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/error.h"
#include "foundation/wow64.h"
#include "gtest/gtest.h"
#include "tests/support/test_support.h"

using namespace std::string_literals;

namespace {

using Strings = std::vector<std::wstring>;


// Creates the key with raw calls in one view and sets one value there.
void RawSetValue(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& name,
                 DWORD type, const std::string& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS | view, nullptr, &key, nullptr));
  EXPECT_EQ(ERROR_SUCCESS,
            RegSetValueExW(key, name.c_str(), 0, type,
                           reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())));
  RegCloseKey(key);
}

std::string Bytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

void RawSetText(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& text) {
  RawSetValue(root, path, view, L"View", REG_SZ, Bytes(text + L'\0'));
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::string RawValueBytes(HKEY root, const std::wstring& path, const std::wstring& name,
                          DWORD* type) {
  DWORD size = 0;
  if (RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, type, nullptr,
                   &size) != ERROR_SUCCESS) {
    return "<missing>";
  }
  std::string bytes(size, '\0');
  RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, type, &bytes[0], &size);
  bytes.resize(size);
  return bytes;
}

std::wstring ContextMessage(const std::wstring& text, DWORD code) {
  return text + L". System error code: " + std::to_wstring(code) + L". System error message: '" +
         GetSystemErrorMessage(code) + L"'.";
}

class CRegistryKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!IsWow64()) GTEST_SKIP() << "needs a 32-bit process on 64-bit Windows";
  }

  CTestRegistryKey m_machine{HKEY_LOCAL_MACHINE};
  CTestRegistryKey m_user;
  std::wstring m_key = m_user.Path() + L"\\Values";
};

}  // namespace

TEST_F(CRegistryKeyTest, PlainOpenFindsKeyOfSixtyFourBitViewOnly) {
  std::wstring path = m_machine.Path() + L"\\Only64";
  RawSetText(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY, L"64");

  CRegistryKey key;
  key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ, false);
  EXPECT_EQ(L"64", key.GetValueSZ(L"View"));
  // A mask that names the 32-bit view is used as given: no fallback.
  EXPECT_THROW(key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ | KEY_WOW64_32KEY, false),
               CRegistryKey::CMissingKey);
}

TEST_F(CRegistryKeyTest, PlainOpenFallsBackToThirtyTwoBitView) {
  std::wstring path = m_machine.Path() + L"\\Only32";
  RawSetText(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY, L"32");

  CRegistryKey key;
  key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ, false);
  EXPECT_EQ(L"32", key.GetValueSZ(L"View"));
  EXPECT_THROW(key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ | KEY_WOW64_64KEY, false),
               CRegistryKey::CMissingKey);
}

TEST_F(CRegistryKeyTest, PlainOpenPrefersSixtyFourBitViewWhenBothExist) {
  std::wstring path = m_machine.Path() + L"\\Both";
  RawSetText(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY, L"32");
  RawSetText(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY, L"64");

  CRegistryKey key;
  key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ, false);
  EXPECT_EQ(L"64", key.GetValueSZ(L"View"));
  key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ | KEY_WOW64_32KEY, false);
  EXPECT_EQ(L"32", key.GetValueSZ(L"View"));
}

TEST_F(CRegistryKeyTest, CreateMakesKeyAndParentsInSixtyFourBitViewOnly) {
  std::wstring path = m_machine.Path() + L"\\New\\Child";
  CRegistryKey key;
  key.Open(HKEY_LOCAL_MACHINE, path, KEY_SET_VALUE, true);
  key.SetValueDWORD(L"Made", 1);

  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, m_machine.Path() + L"\\New", KEY_WOW64_32KEY));
}

TEST_F(CRegistryKeyTest, OpenOfMissingKeyThrowsMissingKeyWithCodeTwo) {
  std::wstring path = m_user.Path() + L"\\Missing";
  CRegistryKey key;
  try {
    key.Open(HKEY_CURRENT_USER, path, KEY_READ, false);
    FAIL() << "no exception";
  } catch (const CRegistryKey::CMissingKey& error) {
    EXPECT_EQ(2u, error.GetErrorCode());
    EXPECT_EQ(ContextMessage(L"Key '" + path + L"' does not exist", 2), error.GetMessage());
  }
}

TEST_F(CRegistryKeyTest, OpenFailureOtherThanMissingThrowsPlainError) {
  CRegistryKey key;
  try {
    key.Open(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234)), L"Software", KEY_READ, false);
    FAIL() << "no exception";
  } catch (const CRegistryKey::CMissingKey&) {
    FAIL() << "a bad handle is not a missing key";
  } catch (const CError& error) {
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), error.GetErrorCode());
    EXPECT_EQ(L"System error code: 6. System error message: " +
                  GetSystemErrorMessage(ERROR_INVALID_HANDLE),
              error.GetMessage());
  }
}

TEST_F(CRegistryKeyTest, MissingValueThrowsMissingValueForEveryType) {
  CRegistryKey key;
  key.Open(HKEY_CURRENT_USER, m_key, KEY_ALL_ACCESS, true);
  const std::wstring expected = ContextMessage(L"Key doesn't have value 'Nope'", 2);
  Strings strings;
  try {
    key.GetValueDWORD(L"Nope");
    ADD_FAILURE() << "DWORD: no exception";
  } catch (const CRegistryKey::CMissingValue& error) {
    EXPECT_EQ(expected, error.GetMessage());
    EXPECT_EQ(2u, error.GetErrorCode());
  }
  try {
    key.GetValueSZ(L"Nope");
    ADD_FAILURE() << "SZ: no exception";
  } catch (const CRegistryKey::CMissingValue& error) {
    EXPECT_EQ(expected, error.GetMessage());
  }
  EXPECT_THROW(key.GetValueMultiSZ(L"Nope", &strings), CRegistryKey::CMissingValue);
}

TEST_F(CRegistryKeyTest, ReadOfWrongTypeThrowsTypeMismatch) {
  struct Case {
    DWORD type;
    std::string bytes;
    int reader;  // 0 DWORD, 1 SZ, 2 MULTI_SZ
    const wchar_t* message;
  };
  const Case kCases[] = {
      {REG_EXPAND_SZ, Bytes(L"%TEMP%\0"s), 1, L"Key value 'V' is not of type SZ."},
      {REG_MULTI_SZ, Bytes(L"a\0\0"s), 1, L"Key value 'V' is not of type SZ."},
      {REG_DWORD, std::string(4, '\1'), 1, L"Key value 'V' is not of type SZ."},
      {REG_BINARY, std::string(4, '\1'), 0, L"Key value 'V' is not of type DWORD."},
      {REG_SZ, Bytes(L"a\0"s), 0, L"Key value 'V' is not of type DWORD."},
      {REG_SZ, Bytes(L"a\0"s), 2, nullptr},
  };
  CRegistryKey key;
  key.Open(HKEY_CURRENT_USER, m_key, KEY_ALL_ACCESS, true);
  int row = 0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(row++);
    RawSetValue(HKEY_CURRENT_USER, m_key, 0, L"V", c.type, c.bytes);
    Strings strings;
    try {
      if (c.reader == 0) key.GetValueDWORD(L"V");
      if (c.reader == 1) key.GetValueSZ(L"V");
      if (c.reader == 2) key.GetValueMultiSZ(L"V", &strings);
      ADD_FAILURE() << "no exception";
    } catch (const CRegistryKey::CTypeMismatch& error) {
      if (c.message) {
        EXPECT_EQ(c.message, error.GetMessage());
      }
      EXPECT_EQ(0u, error.GetErrorCode());
    }
  }
}

// A value longer than a DWORD is refused by the query itself.
TEST_F(CRegistryKeyTest, DwordReadOfLongerValueThrowsMoreData) {
  CRegistryKey key;
  key.Open(HKEY_CURRENT_USER, m_key, KEY_ALL_ACCESS, true);
  RawSetValue(HKEY_CURRENT_USER, m_key, 0, L"V", REG_BINARY, std::string(8, '\1'));
  try {
    key.GetValueDWORD(L"V");
    FAIL() << "no exception";
  } catch (const CError& error) {
    EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), error.GetErrorCode());
  }
}

TEST_F(CRegistryKeyTest, StringReadsStayWithinTheData) {
  struct Case {
    std::string bytes;
    std::wstring expected;
  };
  const Case kCases[] = {
      {"", L""},                              // zero bytes: empty, not an error
      {Bytes(L"\0"s), L""},
      {Bytes(L"abc\0"s), L"abc"},
      {Bytes(L"abc"s), L"abc"},               // no terminating NUL
      {Bytes(L"abc"s) + "A", L"abc"},         // odd byte count
      {"A", L""},                             // one stray byte
      {Bytes(L"ab\0cd\0"s), L"ab"},
  };
  CRegistryKey key;
  key.Open(HKEY_CURRENT_USER, m_key, KEY_ALL_ACCESS, true);
  int row = 0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(row++);
    RawSetValue(HKEY_CURRENT_USER, m_key, 0, L"S", REG_SZ, c.bytes);
    EXPECT_EQ(c.expected, key.GetValueSZ(L"S"));
  }
}

TEST_F(CRegistryKeyTest, MultiStringReadsTakeEveryStringWithinTheData) {
  struct Case {
    std::string bytes;
    Strings expected;
  };
  const Case kCases[] = {
      {"", {}},
      {Bytes(L"\0"s), {}},
      {Bytes(L"\0\0"s), {}},
      {Bytes(L"a\0b\0\0"s), {L"a", L"b"}},
      {Bytes(L"a\0b\0"s), {L"a", L"b"}},                 // final extra NUL missing
      {Bytes(L"a\0b"s), {L"a", L"b"}},                   // no NUL at all at the end
      {Bytes(L"a\0\0b\0\0"s), {L"a", L"", L"b"}},        // inner empty string kept
      {Bytes(L"\0a\0\0"s), {L"", L"a"}},
      {Bytes(L"one\0two\0\0"s) + "A", {L"one", L"two"}}, // odd byte count
      {Bytes(L"x\0\0\0\0"s), {L"x"}},                    // zero padding
  };
  CRegistryKey key;
  key.Open(HKEY_CURRENT_USER, m_key, KEY_ALL_ACCESS, true);
  int row = 0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(row++);
    RawSetValue(HKEY_CURRENT_USER, m_key, 0, L"M", REG_MULTI_SZ, c.bytes);
    Strings strings = {L"stale"};
    key.GetValueMultiSZ(L"M", &strings);
    EXPECT_EQ(c.expected, strings);
  }
}

TEST_F(CRegistryKeyTest, WritesStoreTheExpectedBytes) {
  CRegistryKey key;
  key.Open(HKEY_CURRENT_USER, m_key, KEY_ALL_ACCESS, true);
  DWORD type = REG_NONE;

  key.SetValueSZ(L"S", L"text");
  EXPECT_EQ(Bytes(L"text\0"s), RawValueBytes(HKEY_CURRENT_USER, m_key, L"S", &type));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(L"text", key.GetValueSZ(L"S"));

  key.SetValueDWORD(L"D", 0xFFFFFFFEu);
  EXPECT_EQ(0xFFFFFFFEu, key.GetValueDWORD(L"D"));

  struct Case {
    Strings strings;
    std::string bytes;
  };
  const Case kCases[] = {
      {{}, Bytes(L"\0"s)},
      {{L"a", L"bc"}, Bytes(L"a\0bc\0\0"s)},
      {{L"a", L"", L"b"}, Bytes(L"a\0\0b\0\0"s)},
  };
  for (const Case& c : kCases) {
    key.SetValueMultiSZ(L"M", c.strings);
    EXPECT_EQ(c.bytes, RawValueBytes(HKEY_CURRENT_USER, m_key, L"M", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
    Strings back;
    key.GetValueMultiSZ(L"M", &back);
    EXPECT_EQ(c.strings, back);
  }
}

TEST_F(CRegistryKeyTest, SetValueSZOfNullThrowsAndWritesNothing) {
  CRegistryKey key;
  key.Open(HKEY_CURRENT_USER, m_key, KEY_ALL_ACCESS, true);
  try {
    key.SetValueSZ(L"S", nullptr);
    FAIL() << "no exception";
  } catch (const CError& error) {
    EXPECT_EQ(L"CRegistryKey::SetValueSZ: parameter aValue is NULL.", error.GetMessage());
    EXPECT_EQ(0u, error.GetErrorCode());
  }
  EXPECT_THROW(key.GetValueSZ(L"S"), CRegistryKey::CMissingValue);
}

TEST_F(CRegistryKeyTest, DeleteValueRemovesValueAndIgnoresMissingOne) {
  CRegistryKey key;
  key.Open(HKEY_CURRENT_USER, m_key, KEY_ALL_ACCESS, true);
  key.SetValueDWORD(L"D", 1);
  key.DeleteValue(L"D");
  EXPECT_THROW(key.GetValueDWORD(L"D"), CRegistryKey::CMissingValue);
  EXPECT_NO_THROW(key.DeleteValue(L"D"));
}

TEST_F(CRegistryKeyTest, DeleteKeyRemovesThirtyTwoBitViewFirst) {
  struct Case {
    bool in32;
    bool in64;
    bool left32;
    bool left64;
  };
  const Case kCases[] = {
      {false, true, false, false},
      {true, false, false, false},
      {true, true, false, true},  // one call removes one view's key only
  };
  int row = 0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(row);
    std::wstring path = m_machine.Path() + L"\\Delete" + std::to_wstring(row++);
    if (c.in32) RawSetText(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY, L"32");
    if (c.in64) RawSetText(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY, L"64");
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ, false);
    key.DeleteKey();
    key.Close();
    EXPECT_EQ(c.left32, KeyExists(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY));
    EXPECT_EQ(c.left64, KeyExists(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY));
  }
}

TEST_F(CRegistryKeyTest, DeleteKeyFailsForKeyWithSubkeys) {
  std::wstring path = m_machine.Path() + L"\\Parent";
  RawSetText(HKEY_LOCAL_MACHINE, path + L"\\Child", KEY_WOW64_64KEY, L"64");
  CRegistryKey key;
  key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ, false);
  EXPECT_THROW(key.DeleteKey(), CError);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, path + L"\\Child", KEY_WOW64_64KEY));
}

TEST_F(CRegistryKeyTest, DeleteKeyWithoutOpenedKeyDoesNothing) {
  CRegistryKey fresh;
  EXPECT_NO_THROW(fresh.DeleteKey());

  // A failed Open forgets the key opened before it.
  CRegistryKey key;
  key.Open(HKEY_CURRENT_USER, m_key, KEY_ALL_ACCESS, true);
  EXPECT_THROW(key.Open(HKEY_CURRENT_USER, m_key + L"\\Missing", KEY_READ, false),
               CRegistryKey::CMissingKey);
  EXPECT_NO_THROW(key.DeleteKey());
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, m_key, 0));
}

TEST_F(CRegistryKeyTest, CloseReportsFailureOfRegCloseKey) {
  CRegistryKey key;
  key.Open(HKEY_CURRENT_USER, m_key, KEY_READ, true);
  RegCloseKey(key.GetHandle());  // the wrapper's handle is now stale
  try {
    key.Close();
    FAIL() << "no exception";
  } catch (const CError& error) {
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), error.GetErrorCode());
  }
  EXPECT_NO_THROW(key.Close());  // already closed
}

// Runs in its own process: a throwing destructor would end it.
TEST_CHILD(RegistryKeyDestructorWithStaleHandle) {
  if (args.empty()) return 2;
  {
    CRegistryKey key;
    key.Open(HKEY_CURRENT_USER, args[0], KEY_READ, false);
    RegCloseKey(key.GetHandle());
  }
  return 0;
}

TEST_F(CRegistryKeyTest, DestructorIgnoresCloseFailure) {
  CRegistryKey key;
  key.Open(HKEY_CURRENT_USER, m_key, KEY_READ, true);
  key.Close();
  EXPECT_EQ(0u, RunChild(L"RegistryKeyDestructorWithStaleHandle", {m_key}));
}

TEST(MultiSzTest, ConversionHandlesEmptyAndOddBuffers) {
  Strings strings = {L"stale"};
  CBuffer empty;
  MultiSzToStringArray(empty, &strings);
  EXPECT_EQ(Strings{}, strings);

  CBuffer odd;
  odd.Allocate(5);  // "a", NUL and one stray byte
  odd.GetBuffer()[0] = 'a';
  odd.GetBuffer()[4] = 'b';
  MultiSzToStringArray(odd, &strings);
  EXPECT_EQ(Strings{L"a"}, strings);

  CBuffer buffer;
  StringArrayToMultiSz({L"abc", L"", L"d"}, &buffer);
  EXPECT_EQ(16, buffer.GetSize());  // (3 strings + 4 characters) x 2 + 2
  MultiSzToStringArray(buffer, &strings);
  EXPECT_EQ((Strings{L"abc", L"", L"d"}), strings);
}
