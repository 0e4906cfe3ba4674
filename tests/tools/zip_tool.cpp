// zip_tool.cpp: a small command-line front end over the ZIP library, so the
// interoperability tests can drive it beside other archivers:
//   zip_tool [-p PASSWORD] [-s VOLUME_SIZE | -d DISK_SIZE | -D] COMMAND ...
//     (-s: create split volumes; -d: span disks of DISK_SIZE bytes, the
//      archive's folder playing the drive, each full disk taken out as
//      ARCHIVE.zNN so the set reads as a split archive; -D: span the disks
//      of the archive's real drive)
//   zip_tool create|append ARCHIVE [-l LEVEL] [-r ROOT] [-a NAME | -x HEX] [-R] [-u] FILE...
//     (-x gives the name as UTF-8 in hex, past a command line's code page;
//      -R replaces the entry of the same name; -u stores the next name as
//      UTF-8 under the entry's flag)
//   zip_tool list ARCHIVE        one line per entry: name, method, sizes, CRC, made-by, attributes
//   zip_tool test ARCHIVE        reads every entry through and checks its CRC
//   zip_tool extract ARCHIVE DIR writes every entry below DIR
//   zip_tool delete ARCHIVE NAME...      deletes the named entries
//   zip_tool rename ARCHIVE OLD NEW      renames one entry
//   zip_tool find ARCHIVE PATTERN        prints the names that match
//   zip_tool copy SOURCE ARCHIVE         copies every entry of SOURCE into ARCHIVE
// Exit codes: 0 done, 1 bad usage, a password the code page cannot hold or
// a refused add, 2 an archive error (an archive being added or copied to
// is still closed with its directory).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/wide_string.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_removable_disk.h"

namespace {

std::wstring g_password;
uint64_t g_volumeSize = 0;
uint64_t g_diskSize = 0;
bool g_systemDisks = false;

class CFolderDrive : public CZipRemovableDisk {
 public:
  bool IsRemovable(const std::wstring&) override { return true; }
  bool SetLabel(const std::wstring&, const std::wstring&) override { return true; }
  uint64_t FreeSpace(const std::wstring& path) override {
    std::error_code missing;
    uint64_t used = std::filesystem::file_size(std::filesystem::path(path), missing);
    return missing ? g_diskSize : used < g_diskSize ? g_diskSize - used : 0;
  }
};

// Takes the full disk out when the next is asked for; refuses any other request.
class CDiskChanger : public CZipActionCallback {
 public:
  explicit CDiskChanger(const std::wstring& archive) : m_archive(archive) {}
  bool Callback(uint64_t, int code) override {
    if (code != -1) return false;
    if (m_param == 1) return true;
    std::filesystem::path taken = m_archive;
    taken.replace_extension(Format(L".z%.2d", m_param - 1));
    std::error_code failed;
    std::filesystem::rename(m_archive, taken, failed);
    return !failed;
  }

 private:
  std::filesystem::path m_archive;
};

int Usage() {
  fprintf(stderr, "usage: zip_tool [-p PASSWORD] [-s VOLUME_SIZE | -d DISK_SIZE | -D] create|append ARCHIVE [-l LEVEL] [-r ROOT] [-a NAME | -x HEX] FILE...\n"
                  "       zip_tool [-p PASSWORD] list|test ARCHIVE | extract ARCHIVE DIR\n"
                  "       zip_tool delete ARCHIVE NAME... | rename ARCHIVE OLD NEW | find ARCHIVE PATTERN\n"
                  "       zip_tool copy SOURCE ARCHIVE\n");
  return 1;
}

// A refused file or entry ends the command, but the archive is still
// closed with its directory: without one, neither its old entries nor those
// added before are readable by any tool.
template <class Work>
int ClosingWithDirectory(CZipArchive& archive, Work work) {
  int status = 0;
  try {
    status = work();
  } catch (...) {
    try {
      archive.Close(CZipArchive::afterExceptionWrite);
    } catch (CZipException* raw) {
      // The refusal is the error to report.
      delete raw;
    }
    throw;
  }
  archive.Close();
  return status;
}

std::wstring FromHex(const std::wstring& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(wcstol(hex.substr(i, 2).c_str(), nullptr, 16));
  }
  return Utf8ToWide(bytes);
}

int AddFiles(CZipArchive& archive, const std::vector<std::wstring>& args) {
  int level = -1;
  std::wstring root;
  std::wstring alias;
  bool replace = false;
  bool utf8 = false;
  int status = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == L"-l" && i + 1 < args.size()) {
      level = wcstol(args[++i].c_str(), nullptr, 10);
    } else if (args[i] == L"-r" && i + 1 < args.size()) {
      root = args[++i];
      archive.SetRootPath(root);
    } else if (args[i] == L"-a" && i + 1 < args.size()) {
      alias = args[++i];
    } else if (args[i] == L"-x" && i + 1 < args.size()) {
      alias = FromHex(args[++i]);
    } else if (args[i] == L"-R") {
      replace = true;
    } else if (args[i] == L"-u") {
      utf8 = true;
    } else {
      CZipAddFileRequest request;
      request.filePath = args[i];
      request.fileNameInZip = alias;
      request.fullPath = root.empty();
      request.level = level;
      request.smartness = !alias.empty() ? CZipArchive::zipsmCPassDir : CZipArchive::zipsmSafeSmart;
      request.replaceIndex = replace ? -2 : -1;
      request.utf8Name = utf8;
      bool added = archive.AddFileRequest(request);
      alias.clear();
      replace = false;
      utf8 = false;
      if (!added) {
        fprintf(stderr, "not added: %s\n", WideToUtf8(args[i]).c_str());
        status = 1;
      }
    }
  }
  return status;
}

int Add(const std::vector<std::wstring>& args, bool create) {
  CZipArchive archive;
  CFolderDrive drive;
  CDiskChanger changer(args[0]);
  if (!g_systemDisks) archive.SetRemovableDisk(&drive);
  archive.SetSpanCallback(&changer);
  bool span = g_volumeSize != 0 || g_diskSize != 0 || g_systemDisks;
  int mode = !create ? CZipArchive::zipOpen : span ? CZipArchive::zipCreateSpan : CZipArchive::zipCreate;
  archive.Open(args[0], mode, g_volumeSize);
  archive.SetPassword(g_password);
  return ClosingWithDirectory(archive, [&] { return AddFiles(archive, args); });
}

int List(const std::wstring& path) {
  CZipArchive archive;
  archive.Open(path, CZipArchive::zipOpenReadOnly);
  for (int i = 0; i < archive.GetCount(); ++i) {
    CZipFileHeader header;
    archive.GetFileInfo(header, i);
    printf("%s\t%u\t%u\t%u\t%08x\t%04x\t%08x\t%04x\n", WideToUtf8(header.GetFileName()).c_str(),
           header.m_method, header.m_compressedSize, header.m_uncompressedSize, header.m_crc32,
           header.m_versionMadeBy, header.m_externalAttr, header.m_flag);
  }
  archive.Close();
  return 0;
}

int Test(const std::wstring& path) {
  CZipArchive archive;
  archive.Open(path, CZipArchive::zipOpenReadOnly);
  archive.SetPassword(g_password);
  for (int i = 0; i < archive.GetCount(); ++i) archive.TestFile(i);
  archive.Close();
  return 0;
}

int Extract(const std::wstring& path, const std::wstring& folder) {
  CZipArchive archive;
  archive.Open(path, CZipArchive::zipOpenReadOnly);
  archive.SetPassword(g_password);
  for (int i = 0; i < archive.GetCount(); ++i) {
    if (!archive.ExtractFile(i, folder)) {
      fprintf(stderr, "entry %d: not extracted whole\n", i);
      return 2;
    }
  }
  archive.Close();
  return 0;
}

int Delete(const std::vector<std::wstring>& args) {
  CZipArchive archive;
  archive.Open(args[0], CZipArchive::zipOpen);
  archive.DeleteFilesByName(std::vector<std::wstring>(args.begin() + 1, args.end()));
  archive.Close();
  return 0;
}

int Rename(const std::wstring& path, const std::wstring& from, const std::wstring& to) {
  CZipArchive archive;
  archive.Open(path, CZipArchive::zipOpen);
  int index = archive.FindFile(from, 1);
  bool renamed = index >= 0 && archive.RenameFile(index, to);
  archive.Close();
  return renamed ? 0 : 1;
}

int Copy(const std::wstring& from, const std::wstring& to) {
  CZipArchive source;
  source.Open(from, CZipArchive::zipOpenReadOnly);
  CZipArchive archive;
  archive.Open(to, CZipArchive::zipOpen);
  std::vector<int> all;
  for (int i = 0; i < source.GetCount(); ++i) all.push_back(i);
  int status = ClosingWithDirectory(archive, [&] { return archive.GetFromArchives(source, all) ? 0 : 1; });
  source.Close();
  return status;
}

int Find(const std::wstring& path, const std::wstring& pattern) {
  CZipArchive archive;
  archive.Open(path, CZipArchive::zipOpenReadOnly);
  std::vector<int> found;
  archive.FindMatches(pattern, found);
  for (int index : found) {
    CZipFileHeader header;
    archive.GetFileInfo(header, index);
    printf("%s\n", WideToUtf8(header.GetFileName()).c_str());
  }
  archive.Close();
  return 0;
}

int Run(std::vector<std::wstring> args) {
  if (!args.empty() && args[0] == L"-D") {
    g_systemDisks = true;
    args.erase(args.begin());
  }
  while (args.size() >= 2 && (args[0] == L"-p" || args[0] == L"-s" || args[0] == L"-d")) {
    if (args[0] == L"-p") g_password = args[1];
    else if (args[0] == L"-s") g_volumeSize = wcstoull(args[1].c_str(), nullptr, 10);
    else g_diskSize = wcstoull(args[1].c_str(), nullptr, 10);
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() < 2) return Usage();
  CZipArchive check;
  if (!check.SetPassword(g_password)) {
    fprintf(stderr, "the password holds characters the archive's code page cannot store\n");
    return 1;
  }
  std::vector<std::wstring> rest(args.begin() + 1, args.end());
  try {
    if (args[0] == L"create" && rest.size() >= 1) return Add(rest, true);
    if (args[0] == L"append" && rest.size() >= 1) return Add(rest, false);
    if (args[0] == L"list") return List(rest[0]);
    if (args[0] == L"test") return Test(rest[0]);
    if (args[0] == L"extract" && rest.size() == 2) return Extract(rest[0], rest[1]);
    if (args[0] == L"delete" && rest.size() >= 2) return Delete(rest);
    if (args[0] == L"rename" && rest.size() == 3) return Rename(rest[0], rest[1], rest[2]);
    if (args[0] == L"find" && rest.size() == 2) return Find(rest[0], rest[1]);
    if (args[0] == L"copy" && rest.size() == 2) return Copy(rest[0], rest[1]);
  } catch (CZipException* raw) {
    std::unique_ptr<CZipException> error(raw);
    fprintf(stderr, "zip error %d: %s\n", error->GetCode(), WideToUtf8(error->GetErrorDescription()).c_str());
    return 2;
  }
  return Usage();
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  return Run(std::vector<std::wstring>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv) {
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8ToWide(argv[i]));
  return Run(args);
}
#endif
