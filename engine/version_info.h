#pragma once
// version_info.h: a four-part version (major.minor.build.revision) as the
// configuration, Windows Installer packages and file resources give it.
// Pure logic apart from SetFromFileVersion (version_info_file.cpp, Win32).
#include <cstdint>
#include <string>

class CVersionInfo {
 public:
  CVersionInfo() = default;
  CVersionInfo(const CVersionInfo& other) = default;
  CVersionInfo& operator=(const CVersionInfo& other) = default;

  // Part by part, this minus other; the last-part index plays no role, so
  // 1.0 equals 1.0.0.0.
  int Compare(const CVersionInfo& other) const;
  // Refuses (false, object unchanged) a null text or one that does not begin
  // with a digit. Otherwise reads up to four parts: one '.' is skipped before
  // a part, a letter is a part of its own (a = 0 ... z = 25), a number above
  // 65535 or any other character ends the reading at the previous part.
  bool Parse(const wchar_t* text);
  bool Parse(const std::wstring& text) { return Parse(text.c_str()); }
  void Assign(const CVersionInfo& other) { *this = other; }
  void SetParts4(uint16_t major, uint16_t minor, uint16_t build, uint16_t revision);
  void SetParts3(uint16_t major, uint16_t minor, uint16_t build);
  void SetParts2(uint16_t major, uint16_t minor);
  // Windows Installer layout: major in bits 24-31, minor 16-23, build 0-15.
  void SetFromPackedDword(uint32_t value);
  // The fixed file version of the file's version resource. False, object
  // unchanged, when the file has none.
  bool SetFromFileVersion(const std::wstring& path);
  // As many parts as were given; empty when none was.
  std::wstring ToString() const;
  uint32_t ToPackedDword() const;
  void Clear();

  uint16_t GetMajor() const { return m_parts[0]; }
  uint16_t GetMinor() const { return m_parts[1]; }
  uint16_t GetBuild() const { return m_parts[2]; }
  uint16_t GetRevision() const { return m_parts[3]; }
  // -1 none, 0 major only ... 3 all four parts.
  int GetLastPartIndex() const { return m_lastPart; }
  bool IsEmpty() const { return m_lastPart < 0; }

 private:
  uint16_t m_parts[4] = {0, 0, 0, 0};
  int m_lastPart = -1;
};
