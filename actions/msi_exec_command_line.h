#pragma once
// msi_exec_command_line.h: CMsiExecCommandLine, a command line in the
// installer program's syntax ("MSIEXEC /qb /I a.msi X=1") taken apart for
// the in-process runner: package, properties, log file, user-interface level,
// and each word with what it is.
// Pure logic: the lines for the log are kept, not written.
#include <string>
#include <vector>

class CMsiExecCommandLine {
 public:
  // The installer's user-interface levels (INSTALLUILEVEL).
  static const int kUILevelNone = 2;
  static const int kUILevelBasic = 3;
  static const int kUILevelReduced = 4;
  static const int kUILevelFull = 5;
  static const int kUILevelHideCancel = 0x20;
  static const int kUILevelSourceResOnly = 0x100;

  // A word of the line as it was given. The program, the switches, their
  // arguments and stray words are no property, even with a '=' in them.
  struct CWord {
    std::wstring text;
    bool property;
  };

  explicit CMsiExecCommandLine(const std::wstring& commandLine);

  // The package (or, with /x and /f, the product code) without its quotes;
  // empty when none was given.
  const std::wstring& GetPackage() const { return m_package; }
  // Property tokens joined by one blank; an uninstall without REMOVE= gets
  // REMOVE=ALL, since without it the installer removes nothing.
  const std::wstring& GetProperties() const { return m_properties; }
  const std::wstring& GetLogFile() const { return m_logFile; }
  void DropLogFile() { m_logFile.clear(); }
  bool IsUninstall() const { return m_uninstall; }
  bool IsRepair() const { return m_repair; }
  int GetUILevel() const;
  // Every word of the line, in order.
  const std::vector<CWord>& GetWords() const { return m_words; }
  // What the parse has to say, for the setup log, in order.
  const std::vector<std::wstring>& GetMessages() const { return m_messages; }

 private:
  void Parse(const std::wstring& commandLine);
  void TakeSwitch(const std::wstring& token, std::wstring* rest);

  std::wstring m_package;
  std::wstring m_properties;
  std::wstring m_logFile;
  std::wstring m_uiLetters = L"f";
  bool m_uninstall = false;
  bool m_repair = false;
  bool m_hasRemove = false;
  std::vector<CWord> m_words;
  mutable std::vector<std::wstring> m_messages;
};
