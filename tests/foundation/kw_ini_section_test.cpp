// kw_ini_section_test.cpp: key lookups and edits on an INI section, the
// mapped list's reference keeping, and enumerators.
#include "foundation/kw_ini_section.h"

#include <string>
#include <vector>

#include "foundation/kw_ini_base.h"
#include "foundation/kw_ini_lines.h"
#include "gtest/gtest.h"

namespace {

CKwIniPtr<CKwIniSection> MakeSection(bool exactLookup) {
  CKwIniPtr<CKwIniSection> section(new CKwIniSection());
  section->SetLookupFlag(exactLookup);
  return section;
}

std::wstring ValueOf(const CKwIniSection& section, const std::wstring& key) {
  std::wstring value = L"<none>";
  section.GetValue(key, &value);
  return value;
}

// Tells when it is deleted.
class CWatchedLine : public CKwIniLine {
 public:
  explicit CWatchedLine(bool* deleted) : m_deleted(deleted) {}

 protected:
  ~CWatchedLine() override { *m_deleted = true; }

 private:
  bool* m_deleted;
};

}  // namespace

TEST(CKwIniSectionTest, LookupTrimsKeyButKeepsKeyAndValueAsGiven) {
  auto section = MakeSection(false);
  EXPECT_TRUE(section->AddKeyValue(L"  Key ", L" Value "));
  EXPECT_EQ(L" Value ", ValueOf(*section, L"key"));
  EXPECT_EQ(L" Value ", ValueOf(*section, L"\tKEY  "));
  EXPECT_EQ(L"  Key ", section->GetLines()->GetAt(0)->GetKey());
  EXPECT_FALSE(section->AddKeyValue(L" \t", L"x"));
  EXPECT_EQ(1u, section->GetLines()->GetCount());
}

// Switching the flag re-keys what is there; the first line still wins.
TEST(CKwIniSectionTest, ChangingTheLookupFlagRekeysTheLines) {
  auto section = MakeSection(true);
  section->AddKeyValue(L"name", L"1");
  section->AddKeyValue(L"NAME", L"2");
  EXPECT_EQ(L"2", ValueOf(*section, L"NAME"));
  section->SetLookupFlag(false);
  EXPECT_EQ(L"1", ValueOf(*section, L"NAME"));
}

TEST(CKwIniSectionTest, DuplicateKeyIsFoundAfterTheFirstIsRemoved) {
  auto section = MakeSection(false);
  section->AddKeyValue(L"k", L"1");
  section->AddRawLine(L"; between");
  section->AddKeyValue(L"K ", L"2");
  EXPECT_EQ(L"1", ValueOf(*section, L"k"));
  EXPECT_TRUE(section->RemoveKey(L"k"));
  // Reloading the saved file would find the remaining line: so must the model.
  EXPECT_EQ(L"2", ValueOf(*section, L"k"));
  EXPECT_TRUE(section->RemoveKey(L"k"));
  EXPECT_FALSE(section->RemoveKey(L"k"));
  EXPECT_EQ(1u, section->GetLines()->GetCount());
}

TEST(CKwIniSectionTest, SetValueReplacesTheMappedLineOrAppends) {
  auto section = MakeSection(false);
  section->AddKeyValue(L" a ", L"1");
  section->SetValue(L"A", L"one");
  section->SetValue(L"b", L"two");
  ASSERT_EQ(2u, section->GetLines()->GetCount());
  EXPECT_EQ(L" a ", section->GetLines()->GetAt(0)->GetKey());
  EXPECT_EQ(L"one", section->GetLines()->GetAt(0)->GetText());
  EXPECT_EQ(L"b", section->GetLines()->GetAt(1)->GetKey());
  EXPECT_EQ(L"two", ValueOf(*section, L"b"));
}

TEST(CKwIniSectionTest, GetLineTextCountsFromOne) {
  auto section = MakeSection(false);
  section->AddRawLine(L"; first");
  section->AddKeyValue(L"k", L"value");
  struct {
    int index;
    bool ok;
    const wchar_t* text;
  } const kCases[] = {
      {-1, false, L""}, {0, true, L"; first"}, {1, true, L"; first"}, {2, true, L"value"}, {3, false, L""},
  };
  for (const auto& row : kCases) {
    std::wstring text;
    EXPECT_EQ(row.ok, section->GetLineText(row.index, &text)) << row.index;
    EXPECT_EQ(row.text, text) << row.index;
  }
  EXPECT_FALSE(section->GetLineText(1, nullptr));
}

TEST(CKwIniSectionTest, RemoveLineAtCountsFromZeroAndUnmapsItsKey) {
  auto section = MakeSection(false);
  section->AddRawLine(L"; c");
  section->AddKeyValue(L"k", L"v");
  EXPECT_FALSE(section->RemoveLineAt(-1));
  EXPECT_FALSE(section->RemoveLineAt(2));
  EXPECT_TRUE(section->RemoveLineAt(1));
  EXPECT_EQ(L"<none>", ValueOf(*section, L"k"));
  EXPECT_TRUE(section->RemoveLineAt(0));
  EXPECT_EQ(0u, section->GetLines()->GetCount());
}

TEST(CKwIniSectionTest, ListKeepsItsItemsAliveUntilRemoved) {
  bool deleted = false;
  CKwIniLines lines;
  {
    CKwIniPtr<CKwIniLine> line(new CWatchedLine(&deleted));
    lines.Add(L"k", line.get());
  }
  EXPECT_FALSE(deleted);
  ASSERT_NE(nullptr, lines.Find(L"K"));
  lines.RemoveAll();
  EXPECT_TRUE(deleted);
  EXPECT_EQ(nullptr, lines.Find(L"k"));
}

TEST(CKwEnumeratorTest, NextCopiesUpToCountAndResetStartsOver) {
  CKwIniLines lines;
  for (const wchar_t* text : {L"a", L"b", L"c"}) {
    CKwIniPtr<CKwIniLine> line(lines.CreateLine());
    line->SetText(text);
    lines.Add(L"", line.get());
  }
  CKwIniPtr<CKwEnumerator<CKwIniLine>> enumerator(lines.CreateEnumerator());
  CKwIniLine* items[3] = {};
  unsigned long fetched = 99;
  EXPECT_TRUE(enumerator->Next(2, items, &fetched));
  EXPECT_EQ(2u, fetched);
  EXPECT_EQ(L"b", items[1]->GetText());
  EXPECT_FALSE(enumerator->Next(2, items, &fetched));
  EXPECT_EQ(1u, fetched);
  EXPECT_EQ(L"c", items[0]->GetText());
  EXPECT_FALSE(enumerator->Next(1, items, nullptr));
  EXPECT_TRUE(enumerator->Reset());
  EXPECT_TRUE(enumerator->Next(1, items, nullptr));
  EXPECT_EQ(L"a", items[0]->GetText());
  // Bad arguments fail without moving.
  EXPECT_FALSE(enumerator->Next(2, items, nullptr));
  EXPECT_FALSE(enumerator->Next(1, nullptr, &fetched));
  EXPECT_EQ(0u, fetched);
  EXPECT_TRUE(enumerator->Next(1, items, nullptr));
  EXPECT_EQ(L"b", items[0]->GetText());
}

// The enumerator's items outlive the collection they came from.
TEST(CKwEnumeratorTest, ItemsStayValidAfterTheCollectionIsGone) {
  CKwIniPtr<CKwEnumerator<CKwIniLine>> enumerator;
  {
    CKwIniLines lines;
    CKwIniPtr<CKwIniLine> line(lines.CreateLine());
    line->SetText(L"kept");
    lines.Add(L"", line.get());
    enumerator.reset(lines.CreateEnumerator());
  }
  CKwIniLine* item = nullptr;
  ASSERT_TRUE(enumerator->Next(1, &item, nullptr));
  EXPECT_EQ(L"kept", item->GetText());
}
