// internet.cpp: WinINet connection test and HTTP download. The download
// reads until the promised length arrived or the server stopped sending,
// never beyond its buffer, and treats a short body or a non-2xx status as a
// failure rather than saving an error page as the file. Every exchange ends
// when the server makes no progress for a while, and a download as a whole
// when it takes longer than a few minutes.
#include "foundation/internet.h"

#include <windows.h>
#include <commctrl.h>
#include <wininet.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "foundation/resource_strings.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/tree_deletion.h"
#include "platform/thread.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kUserAgent[] = L"Pelko/Tamsa Setup";
const wchar_t kHttpScheme[] = L"http://";
const wchar_t kHttpsScheme[] = L"https://";
const DWORD kProgressSteps = 50;
const DWORD kUnknownLengthChunk = 50;
// An update site that accepts a request and then stalls must not hold an
// unattended run: no progress for this long ends the connection test, the
// connection, the request and each read.
const DWORD kStallTimeoutMilliseconds = 60 * 1000;
// A server that sends a byte now and then never stalls: this bounds a whole
// download, from the request to the last byte.
const DWORD kDefaultExchangeLimitMilliseconds = 5 * 60 * 1000;
DWORD g_exchangeLimitMilliseconds = kDefaultExchangeLimitMilliseconds;

class CInternetHandle {
 public:
  explicit CInternetHandle(HINTERNET handle = nullptr) : m_handle(handle) {}
  CInternetHandle(const CInternetHandle&) = delete;
  CInternetHandle& operator=(const CInternetHandle&) = delete;
  ~CInternetHandle() {
    if (m_handle) InternetCloseHandle(m_handle);
  }
  HINTERNET Get() const { return m_handle; }
  explicit operator bool() const { return m_handle != nullptr; }

 private:
  HINTERNET m_handle;
};

// The target file while it is written; removed unless the download is kept.
class CTargetFile {
 public:
  explicit CTargetFile(const std::wstring& path) : m_path(path), m_file(_wfopen(path.c_str(), L"wb")) {}
  CTargetFile(const CTargetFile&) = delete;
  CTargetFile& operator=(const CTargetFile&) = delete;
  ~CTargetFile() {
    if (m_file) fclose(m_file);
    if (m_file && !m_kept) DeleteFileChecked(m_path, FALSE);
  }
  FILE* Get() const { return m_file; }
  // Closes the file for good; false when the last bytes could not be written.
  bool Keep() {
    m_kept = true;
    bool flushed = fclose(m_file) == 0;
    m_file = nullptr;
    return flushed;
  }

 private:
  std::wstring m_path;
  FILE* m_file;
  bool m_kept = false;
};

[[noreturn]] void Fail(DWORD error) { throw static_cast<unsigned long>(error); }

// The connection test's thread and the test share it: a thread still
// connecting when the test gave up writes into it all the same.
struct CConnectionCheck {
  std::wstring url;
  BOOL connected = FALSE;
  DWORD error = ERROR_SUCCESS;
};

// How a piece of work run on a thread of its own ended for its caller.
enum class CThreadRun { kEnded, kNotStarted, kOverran };

unsigned __stdcall RunWork(void* parameter) {
  std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
  (*work)();
  return 0;
}

// Runs `work` on a thread that is waited for `limit` milliseconds at most.
// A thread that overruns is left to end by itself: the work must keep what it
// writes in a share of its own (a shared_ptr it holds), which outlives the
// caller's. *error is the start's failure when it did not start.
CThreadRun RunWithinLimit(std::function<void()> work, DWORD limit, DWORD* error) {
  std::unique_ptr<std::function<void()>> parameter(new std::function<void()>(std::move(work)));
  CScopedHandle thread(StartThread(RunWork, parameter.get(), error));
  if (!thread.IsValid()) return CThreadRun::kNotStarted;
  parameter.release();  // the thread owns it now
  return WaitForSingleObject(thread.Get(), limit) == WAIT_OBJECT_0 ? CThreadRun::kEnded : CThreadRun::kOverran;
}

// The test takes no options: it runs on a thread that is waited for only
// so long. True when it ended in time; its result is then in *check.
bool CheckConnectionInTime(const std::shared_ptr<CConnectionCheck>& check, DWORD* error) {
  auto test = [check] {
    check->connected = InternetCheckConnectionW(check->url.c_str(), FLAG_ICC_FORCE_CONNECTION, 0);
    check->error = GetLastError();
  };
  CThreadRun run = RunWithinLimit(test, kStallTimeoutMilliseconds, error);
  if (run == CThreadRun::kEnded) return true;
  if (run == CThreadRun::kNotStarted) return false;
  WriteLog(L"   The connection test to '%s' made no progress for %u seconds", check->url.c_str(),
           kStallTimeoutMilliseconds / 1000);
  *error = ERROR_INTERNET_TIMEOUT;
  return false;
}

// WinINet takes these time-outs from the request's own handle; the session's
// are not handed on to it under every WinINet.
void BoundExchange(HINTERNET request) {
  const DWORD kOptions[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                            INTERNET_OPTION_RECEIVE_TIMEOUT};
  for (DWORD option : kOptions) {
    DWORD timeout = kStallTimeoutMilliseconds;
    if (!InternetSetOptionW(request, option, &timeout, sizeof(timeout))) {
      DWORD error = GetLastError();
      // The exchange can still succeed; only a stall would then last longer.
      WriteLog(L"   The HTTP time-out %u could not be set. error: %d", option, static_cast<int>(error));
    }
  }
}

// One download's exchange, shared by the thread that makes it and the
// caller, which waits for it only so long. The body stays in memory until
// the exchange has ended in time; a thread given up on touches nothing else.
struct CExchange {
  std::wstring url;
  std::wstring host;
  std::wstring path;
  INTERNET_PORT port = 0;
  std::vector<char> body;
  DWORD error = ERROR_SUCCESS;
  std::mutex lock;
  // Set when the caller stopped waiting: the exchange ends at its next read.
  bool abandoned = false;
  CDownloadProgress* progress = nullptr;  // under the lock, while not abandoned
};

// The caller has logged the time-out already when it stopped waiting.
void FailIfAbandoned(CExchange* exchange) {
  std::lock_guard<std::mutex> guard(exchange->lock);
  if (exchange->abandoned) Fail(ERROR_INTERNET_TIMEOUT);
}

// Keeps what one read gave and shows it.
void Store(const std::vector<char>& buffer, DWORD count, CExchange* exchange) {
  exchange->body.insert(exchange->body.end(), buffer.begin(), buffer.begin() + count);
  std::lock_guard<std::mutex> guard(exchange->lock);
  if (exchange->abandoned || !exchange->progress) return;
  exchange->progress->bytesRead = count;
  UpdateDownloadProgress(exchange->progress);
}

// `wanted` bytes, fewer only at the end of the body. Each read takes no more
// than has arrived (WinINet would wait until the whole buffer is filled,
// however slowly it comes), so a download given up on ends between them.
DWORD ReadChunk(HINTERNET request, std::vector<char>* buffer, DWORD wanted, CExchange* exchange) {
  DWORD total = 0;
  while (total < wanted) {
    FailIfAbandoned(exchange);
    DWORD available = 0;
    DWORD count = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0) ||
        (available > 0 &&
         !InternetReadFile(request, buffer->data() + total, available < wanted - total ? available : wanted - total,
                           &count))) {
      DWORD error = GetLastError();
      WriteLog(L"   An error occured while reading a file from the internet. error: %d", static_cast<int>(error));
      Fail(error);
    }
    if (count == 0) break;
    total += count;
  }
  return total;
}

void ReadKnownLength(HINTERNET request, DWORD length, CExchange* exchange) {
  const DWORD step = length / kProgressSteps ? length / kProgressSteps : length;
  std::vector<char> buffer(step + 1);
  DWORD received = 0;
  while (received < length) {
    DWORD wanted = length - received < step ? length - received : step;
    DWORD count = ReadChunk(request, &buffer, wanted, exchange);
    if (count == 0) {
      WriteLog(L"   The download ended after %u of %u bytes.", received, length);
      Fail(ERROR_INTERNET_CONNECTION_RESET);
    }
    received += count;
    Store(buffer, count, exchange);
  }
}

void ReadUnknownLength(HINTERNET request, CExchange* exchange) {
  std::vector<char> buffer(kUnknownLengthChunk);
  for (;;) {
    DWORD count = ReadChunk(request, &buffer, kUnknownLengthChunk, exchange);
    if (count == 0) return;
    Store(buffer, count, exchange);
  }
}

void RequireSuccessStatus(HINTERNET request, const std::wstring& url) {
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
    DWORD error = GetLastError();
    WriteLog(L"   The HTTP status of '%s' could not be read. error: %d", url.c_str(), static_cast<int>(error));
    Fail(error);
  }
  if (status < 200 || status > 299) {
    WriteLog(L"   The server answered '%s' with HTTP status %u; nothing is saved.", url.c_str(), status);
    Fail(status == HTTP_STATUS_NOT_FOUND ? ERROR_FILE_NOT_FOUND : ERROR_BAD_NET_RESP);
  }
}

// The request and its answer; failures are logged and thrown as codes.
void Exchange(CExchange* exchange) {
  CInternetHandle session(InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) {
    DWORD error = GetLastError();
    WriteLog(L"   WinINet could not be initialized. error: %d", static_cast<int>(error));
    Fail(error);
  }
  CInternetHandle connection(InternetConnectW(session.Get(), exchange->host.c_str(), exchange->port, nullptr,
                                              nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) {
    DWORD error = GetLastError();
    WriteLog(L"   The HTTP session could not be opened. error: %d", static_cast<int>(error));
    Fail(error);
  }
  const wchar_t* acceptTypes[] = {L"*/*", nullptr};
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
  // Plain HTTP to an https address would fetch unauthenticated content.
  if (StartsWithNoCase(exchange->url, kHttpsScheme)) flags |= INTERNET_FLAG_SECURE;
  CInternetHandle request(HttpOpenRequestW(connection.Get(), L"GET", exchange->path.c_str(), nullptr, nullptr,
                                           acceptTypes, flags, 0));
  if (!request) {
    DWORD error = GetLastError();
    WriteLog(L"   The HTTP handle could not be created. error: %d", static_cast<int>(error));
    Fail(error);
  }
  BoundExchange(request.Get());
  if (!HttpSendRequestW(request.Get(), nullptr, 0, nullptr, 0)) {
    DWORD error = GetLastError();
    WriteLog(L"   The HTTP request failed. error: %d", static_cast<int>(error));
    Fail(error);
  }
  RequireSuccessStatus(request.Get(), exchange->url);
  DWORD length = 0;
  DWORD size = sizeof(length);
  bool known = HttpQueryInfoW(request.Get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size,
                              nullptr) != FALSE;
  {
    std::lock_guard<std::mutex> guard(exchange->lock);
    if (!exchange->abandoned && exchange->progress) exchange->progress->totalSize = known ? length : 0;
  }
  if (known) {
    ReadKnownLength(request.Get(), length, exchange);
  } else {
    WriteLog(L"   Could not obtain the size of the content to be downloaded. The file will download . error: %d", 0);
    ReadUnknownLength(request.Get(), exchange);
  }
}

// 0 when the exchange ended well in time. One that takes too long is given
// up: its thread ends by itself and keeps nothing but the shared state.
DWORD ExchangeInTime(const std::shared_ptr<CExchange>& exchange) {
  auto download = [exchange] {
    try {
      Exchange(exchange.get());
    } catch (unsigned long error) {
      exchange->error = error != ERROR_SUCCESS ? error : static_cast<DWORD>(ERROR_INTERNET_INTERNAL_ERROR);
    }
  };
  DWORD error = ERROR_SUCCESS;
  CThreadRun run = RunWithinLimit(download, g_exchangeLimitMilliseconds, &error);
  if (run == CThreadRun::kEnded) return exchange->error;
  if (run == CThreadRun::kNotStarted) {
    WriteLog(L"   The download thread could not be started. error: %d", static_cast<int>(error));
    return error != ERROR_SUCCESS ? error : static_cast<DWORD>(ERROR_INTERNET_INTERNAL_ERROR);
  }
  {
    std::lock_guard<std::mutex> guard(exchange->lock);
    exchange->abandoned = true;
  }
  WriteLog(L"   The download from '%s' did not end within %u seconds; it is given up", exchange->url.c_str(),
           g_exchangeLimitMilliseconds / 1000);
  return ERROR_INTERNET_TIMEOUT;
}

// Only a whole body becomes the file; a failure leaves none.
void SaveBody(const std::vector<char>& body, const std::wstring& target) {
  CTargetFile file(target);
  if (!file.Get()) {
    DWORD error = GetLastError();
    WriteLog(L"   Could not open the file: '%s' for writing. error: %d", target.c_str(), static_cast<int>(error));
    Fail(error);
  }
  bool written = body.empty() || fwrite(body.data(), 1, body.size(), file.Get()) == body.size();
  if (!written || !file.Keep()) {
    DWORD error = GetLastError();
    WriteLog(L"   An error occured while writing to file: '%s' with error: %d", target.c_str(),
             static_cast<int>(error));
    DeleteFileChecked(target, FALSE);
    Fail(error ? error : ERROR_WRITE_FAULT);
  }
}

}  // namespace

BOOL CheckInternetConnection(const std::wstring& url) {
  std::shared_ptr<CConnectionCheck> check(new CConnectionCheck());
  check->url = url;
  DWORD error = ERROR_SUCCESS;
  if (CheckConnectionInTime(check, &error)) {
    if (check->connected) return TRUE;
    error = check->error;
  }
  WriteLog(L"Could not establish a connection to the internet using: '%s'.  Error code = %d", url.c_str(),
           static_cast<int>(error));
  SetLastError(error);
  return FALSE;
}

BOOL SplitUrl(const std::wstring& url, std::wstring* host, std::wstring* path, INTERNET_PORT* port) {
  bool secure = StartsWithNoCase(url, kHttpsScheme);
  if (!secure && !StartsWithNoCase(url, kHttpScheme)) {
    WriteLog(L"   Cannot find http:// or https:// for URL '%s'", url.c_str());
    return FALSE;
  }
  std::wstring rest = url.substr(wcslen(secure ? kHttpsScheme : kHttpScheme));
  size_t slash = rest.find(L'/');
  if (slash == std::wstring::npos) {
    WriteLog(L"   No slash found in url path for URL '%s'", url.c_str());
    return FALSE;
  }
  *host = rest.substr(0, slash);
  *path = rest.substr(slash);
  *port = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  size_t colon = host->find(L':');
  if (colon != std::wstring::npos) {
    std::wstring number = host->substr(colon + 1);
    host->erase(colon);
    wchar_t* end = nullptr;
    unsigned long value = wcstoul(number.c_str(), &end, 10);
    if (number.empty() || *end || value == 0 || value > 65535) {
      WriteLog(L"   Bad port number in URL '%s'", url.c_str());
      return FALSE;
    }
    *port = static_cast<INTERNET_PORT>(value);
  }
  return TRUE;
}

void DownloadFile(const std::wstring& url, const std::wstring& target, CDownloadProgress* progress) {
  std::shared_ptr<CExchange> exchange(new CExchange());
  exchange->url = url;
  if (!SplitUrl(url, &exchange->host, &exchange->path, &exchange->port)) Fail(ERROR_INTERNET_INVALID_URL);
  WriteLog(L"   Fetching '%s' into '%s'", url.c_str(), target.c_str());
  if (!CheckInternetConnection(url)) Fail(GetLastError());
  exchange->progress = progress;
  if (progress) progress->percent = 0;
  DWORD error = ExchangeInTime(exchange);
  if (error != ERROR_SUCCESS) Fail(error);
  SaveBody(exchange->body, target);
}

void SetDownloadTimeLimit(DWORD milliseconds) {
  g_exchangeLimitMilliseconds = milliseconds ? milliseconds : kDefaultExchangeLimitMilliseconds;
}

void UpdateDownloadProgress(CDownloadProgress* progress) {
  if (progress->textControl) {
    std::wstring text = Format(L"%s [%d/%d]: %s (%.2f MB)", LoadResourceString(IDS_DOWNLOADING).c_str(),
                               progress->fileIndex + 1, progress->fileCount, progress->fileName.c_str(),
                               progress->totalSize / 1024.0 / 1024.0);
    SetWindowTextW(progress->textControl, text.c_str());
  }
  if (progress->totalSize == 0) {
    progress->percent = 0;
  } else {
    progress->percent += static_cast<int>(std::lround(progress->bytesRead * 100.0 / progress->totalSize));
    if (progress->percent > 100) progress->percent = 100;
  }
  if (progress->progressBar) SendMessageW(progress->progressBar, PBM_SETPOS, progress->percent, 0);
}
