// kw_ini_file_test.cpp: how lines become sections and key lines, what a save
// writes back, lookups under both lookup flags, and the error texts.
#include "foundation/kw_ini_file.h"

#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

using Lines = std::vector<std::wstring>;

struct CParseError {
  int kind = 0;
  int code = 0;
  std::wstring message;
};

// Feeds the lines the way Load does, after it has read them from a file.
// Returns false with the error when a line is refused.
bool ParseLines(CKwIniFile* file, const Lines& lines, CParseError* error) {
  file->RemoveAllSections();
  std::wstring current = L"$$$unnamed$$$";
  file->AddSection(current);
  try {
    for (const std::wstring& line : lines) file->ParseLine(line, &current);
  } catch (CKwIniFileException* raw) {
    std::unique_ptr<CKwIniFileException> e(raw);
    *error = CParseError{e->GetKind(), e->GetCode(), e->GetMessageText()};
    return false;
  }
  return true;
}

Lines Written(CKwIniFile* file) {
  Lines out;
  file->WriteSections(&out);
  return out;
}

CParseError WriteError(CKwIniFile* file) {
  try {
    Written(file);
  } catch (CKwIniFileException* raw) {
    std::unique_ptr<CKwIniFileException> e(raw);
    return CParseError{e->GetKind(), e->GetCode(), e->GetMessageText()};
  }
  return CParseError{};
}

}  // namespace

TEST(CKwIniFileTest, SaveWritesBackWhatWasParsed) {
  struct {
    Lines input;
    Lines written;
  } const kCases[] = {
      {{L"; top", L"free text", L"Top=1"}, {L"; top", L"free text", L"Top=1"}},
      {{L"[ Name ] tail", L"; note"}, {L"[Name]", L"; note"}},
      {{L"  [\tA\t]", L"  ; indented comment"}, {L"[A]", L"  ; indented comment"}},
      {{L"[S]", L"  Key = Value "}, {L"[S]", L"  Key = Value "}},
      {{L"[S]", L"a\"b=c", L"k=\"quoted\""}, {L"[S]", L"a\"b=c", L"k=\"quoted\""}},
      // Equals sign first: raw. Blank key: dropped. Bad key characters: raw.
      {{L"=x", L"[S]", L"  =x", L"a;b=c", L"a[b=c", L"a\tb=c", L"x=y=z"},
       {L"=x", L"[S]", L"a;b=c", L"a[b=c", L"a\tb=c", L"x=y=z"}},
      // Empty lines stay in the model but are not written.
      {{L"", L"[S]", L"", L"k=v", L""}, {L"[S]", L"k=v"}},
      // A second header adds an empty section; its lines go to the first.
      {{L"[Setup]", L"a=1", L"[Other]", L"o=1", L"[setup]", L"b=2"},
       {L"[Setup]", L"a=1", L"b=2", L"[Other]", L"o=1", L"[setup]"}},
      // A blank header adds nothing, but a header may follow it.
      {{L"[ ]", L"[B]", L"k=v"}, {L"[B]", L"k=v"}},
      {{}, {}},
  };
  for (const auto& row : kCases) {
    CKwIniFile file;
    file.Init(false);
    CParseError error;
    ASSERT_TRUE(ParseLines(&file, row.input, &error)) << error.message.c_str();
    EXPECT_EQ(row.written, Written(&file)) << row.input.size();
  }
}

TEST(CKwIniFileTest, RefusedLinesGiveKindCodeAndText) {
  const std::wstring kImproper = L"Improperly formed section name.";
  const std::wstring kIllegal = L"Illegal character(s) in section name.";
  const std::wstring kNoSection = L"Could not find INI section.";
  struct {
    Lines input;
    int code;
    std::wstring message;
  } const kCases[] = {
      {{L"[]"}, 13, kImproper},
      {{L"[x"}, 13, kImproper},
      {{L"  ["}, 13, kImproper},
      {{L"[a;b]"}, 13, kIllegal},
      {{L"[a=b]"}, 13, kIllegal},
      {{L"[a\tb]"}, 13, kIllegal},
      {{L"[a[b]"}, 13, kIllegal},
      {{L"[ ]", L"k=v"}, 123, kNoSection},
      {{L"[ ]", L""}, 123, kNoSection},
      {{L"[ ]", L"; comment"}, 123, kNoSection},
  };
  for (const auto& row : kCases) {
    CKwIniFile file;
    file.Init(false);
    CParseError error;
    ASSERT_FALSE(ParseLines(&file, row.input, &error)) << row.input[0].c_str();
    EXPECT_EQ(4, error.kind);
    EXPECT_EQ(row.code, error.code) << row.input[0].c_str();
    EXPECT_EQ(row.message, error.message) << row.input[0].c_str();
  }
}

TEST(CKwIniFileTest, GetValueFollowsTheLookupFlag) {
  const Lines kInput = {L"[Setup]", L"  Key = Value ", L"Name=1", L"name=2", L"a\"b=c",
                        L"[SETUP]",  L"Name=3"};
  struct {
    bool exact;
    const wchar_t* section;
    const wchar_t* key;
    bool found;
    const wchar_t* value;
  } const kCases[] = {
      {false, L"setup", L"key", true, L" Value "},
      {false, L"SETUP", L"NAME", true, L"1"},
      {false, L"Setup", L"a", false, L"default"},
      {false, L"Setup", L"a\"b", false, L"default"},
      {false, L"", L"Name", false, L"default"},
      {false, L"Setup", L"", false, L"default"},
      {false, L"Missing", L"Name", false, L"default"},
      {true, L"Setup", L"Name", true, L"1"},
      {true, L"Setup", L"name", true, L"2"},
      {true, L"SETUP", L"Name", true, L"3"},
      {true, L"setup", L"Name", false, L"default"},
      {true, L"Setup", L"NAME", false, L"default"},
  };
  for (const auto& row : kCases) {
    CKwIniFile file;
    file.Init(row.exact);
    CParseError error;
    ASSERT_TRUE(ParseLines(&file, kInput, &error));
    std::wstring value = L"stale";
    EXPECT_EQ(row.found, file.GetValue(row.section, row.key, &value, L"default"))
        << row.exact << " " << row.section << " " << row.key;
    EXPECT_EQ(row.value, value) << row.exact << " " << row.section << " " << row.key;
  }
}

// With exact lookup [Setup] and [SETUP] are two sections with their own lines.
TEST(CKwIniFileTest, ExactLookupKeepsHeadersOfOtherCaseApart) {
  const Lines kInput = {L"[Setup]", L"Name=1", L"[SETUP]", L"Name=2"};
  CParseError error;
  CKwIniFile exact;
  exact.Init(true);
  ASSERT_TRUE(ParseLines(&exact, kInput, &error));
  EXPECT_EQ(kInput, Written(&exact));
  CKwIniSection* section = nullptr;
  ASSERT_TRUE(exact.FindSection(L"SETUP", &section));
  EXPECT_TRUE(section->GetLookupFlag());
  EXPECT_FALSE(exact.FindSection(L"setup", &section));
  EXPECT_EQ(nullptr, section);
}

TEST(CKwIniFileTest, NewFileWithoutInitLooksUpCaseBlind) {
  CKwIniFile file;
  file.AddSection(L"S");
  CKwIniSection* section = nullptr;
  ASSERT_TRUE(file.FindSection(L"s", &section));
  section->SetValue(L"k", L"v");
  EXPECT_EQ((Lines{L"[S]", L"k=v"}), Written(&file));
  file.RemoveAllSections();
  EXPECT_EQ(Lines{}, Written(&file));
}

namespace {

enum class CFault { NoSectionEnumerator, ShortSectionEnumerator, NoLineList, NoLineEnumerator,
                    ShortLineEnumerator };

class CFaultyLines : public CKwIniLines {
 public:
  explicit CFaultyLines(CFault fault) : m_fault(fault) {}
  CKwEnumerator<CKwIniLine>* CreateEnumerator() const override {
    if (m_fault == CFault::NoLineEnumerator) return nullptr;
    if (m_fault == CFault::ShortLineEnumerator) return new CKwEnumerator<CKwIniLine>({});
    return CKwIniLines::CreateEnumerator();
  }

 private:
  CFault m_fault;
};

class CFaultySection : public CKwIniSection {
 public:
  explicit CFaultySection(CFault fault) : m_fault(fault), m_faultyLines(fault) {
    CKwIniPtr<CKwIniLine> line(m_faultyLines.CreateLine());
    line->SetText(L"; line");
    m_faultyLines.Add(L"", line.get());
  }
  CKwIniLines* GetLines() const override {
    if (m_fault == CFault::NoLineList) return nullptr;
    return const_cast<CFaultyLines*>(&m_faultyLines);
  }

 private:
  CFault m_fault;
  CFaultyLines m_faultyLines;
};

class CFaultySections : public CKwIniSections {
 public:
  explicit CFaultySections(CFault fault) : m_fault(fault) {}
  CKwIniSection* CreateSection() const override { return new CFaultySection(m_fault); }
  CKwEnumerator<CKwIniSection>* CreateEnumerator() const override {
    if (m_fault == CFault::NoSectionEnumerator) return nullptr;
    if (m_fault == CFault::ShortSectionEnumerator) return new CKwEnumerator<CKwIniSection>({});
    return CKwIniSections::CreateEnumerator();
  }

 private:
  CFault m_fault;
};

class CFaultyFile : public CKwIniFile {
 public:
  explicit CFaultyFile(CFault fault) : m_fault(fault) {}
  std::unique_ptr<CKwIniSections> CreateSections() override {
    return std::make_unique<CFaultySections>(m_fault);
  }

 private:
  CFault m_fault;
};

}  // namespace

TEST(CKwIniFileTest, CollectionFailuresDuringSaveGiveTheirTexts) {
  struct {
    CFault fault;
    const wchar_t* message;
  } const kCases[] = {
      {CFault::NoSectionEnumerator, L"Failed to obtain enumerator."},
      {CFault::ShortSectionEnumerator,
       L"The number of IniSection interfaces returned does not match the number requested."},
      {CFault::NoLineList, L"Failed to get the section's line list."},
      {CFault::NoLineEnumerator, L"Failed to obtain enumerator."},
      {CFault::ShortLineEnumerator,
       L"The number of INI section lines returned does not match the number requested."},
  };
  for (const auto& row : kCases) {
    CFaultyFile file(row.fault);
    file.Init(false);
    file.AddSection(L"S");
    CParseError error = WriteError(&file);
    EXPECT_EQ(4, error.kind);
    EXPECT_EQ(13, error.code);
    EXPECT_EQ(row.message, error.message);
  }
}
