// The Windows transport of the link check: WinHTTP, the system's own HTTP
// stack, with its proxy settings. Each of `jobs` threads sends one
// synchronous request at a time.
#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <type_traits>

#include "app/version.h"
#include "cli/Check.h"
#include "common/Text.h"
#include "common/WinSystem.h"

namespace vorpa::cli {
namespace {

// winhttp.dll is no KnownDLL: it is loaded from the system folder, never
// from beside the program, and only when a check runs.
struct WinHttpApi {
  decltype(&::WinHttpOpen) open = nullptr;
  decltype(&::WinHttpConnect) connect = nullptr;
  decltype(&::WinHttpOpenRequest) openRequest = nullptr;
  decltype(&::WinHttpSetOption) setOption = nullptr;
  decltype(&::WinHttpSetTimeouts) setTimeouts = nullptr;
  decltype(&::WinHttpSendRequest) sendRequest = nullptr;
  decltype(&::WinHttpReceiveResponse) receiveResponse = nullptr;
  decltype(&::WinHttpQueryHeaders) queryHeaders = nullptr;
  decltype(&::WinHttpReadData) readData = nullptr;
  decltype(&::WinHttpCloseHandle) closeHandle = nullptr;

  bool Load() {
    HMODULE dll = LoadSystemLibrary(L"winhttp.dll");
    if (!dll) return false;
    const auto get = [&](auto& fn, const char* name) {
      fn = ModuleExport<std::remove_reference_t<decltype(fn)>>(dll, name);
      return fn != nullptr;
    };
    return get(open, "WinHttpOpen") && get(connect, "WinHttpConnect") && get(openRequest, "WinHttpOpenRequest") &&
           get(setOption, "WinHttpSetOption") && get(setTimeouts, "WinHttpSetTimeouts") &&
           get(sendRequest, "WinHttpSendRequest") && get(receiveResponse, "WinHttpReceiveResponse") &&
           get(queryHeaders, "WinHttpQueryHeaders") && get(readData, "WinHttpReadData") &&
           get(closeHandle, "WinHttpCloseHandle");
  }
};

HttpAnswer::Failure FailureOf(DWORD error) {
  using F = HttpAnswer::Failure;
  switch (error) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return F::kNoHost;
    case ERROR_WINHTTP_CANNOT_CONNECT: return F::kRefused;
    case ERROR_WINHTTP_TIMEOUT: return F::kTimeout;
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED: return F::kTls;
    default: return F::kOther;
  }
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

class Handle {
 public:
  Handle(const WinHttpApi& api, HINTERNET h) : api_(api), h_(h) {}
  ~Handle() {
    if (h_) api_.closeHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HINTERNET get() const { return h_; }

 private:
  const WinHttpApi& api_;
  HINTERNET h_;
};

class WinHttpTransport : public HttpTransport {
 public:
  explicit WinHttpTransport(const CheckSettings& settings) : timeoutMs_(settings.timeoutSeconds * 1000) {
    if (!api_.Load()) return;
    const std::wstring agent = L"vorpa-list/" + Widen(VORPA_VERSION_STR);
    // The system's proxy settings; before Windows 8.1 the WinHTTP ones.
    session_ = api_.open(agent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session_)
      session_ = api_.open(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session_) return;
    for (int i = 0; i < settings.jobs; ++i) threads_.emplace_back([this] { Work(); });
  }
  ~WinHttpTransport() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    work_.notify_all();
    for (std::thread& t : threads_) t.join();
    if (session_) api_.closeHandle(session_);
  }
  bool ok() const { return session_ != nullptr; }

  void Start(size_t tag, const HttpRequest& request) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.emplace_back(tag, request);
    }
    work_.notify_one();
  }

  void Wait(int waitMs, std::vector<std::pair<size_t, HttpAnswer>>& done) override {
    std::unique_lock<std::mutex> lock(mutex_);
    answered_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return !answers_.empty(); });
    for (auto& a : answers_) done.push_back(std::move(a));
    answers_.clear();
  }

 private:
  void Work() {
    for (;;) {
      std::pair<size_t, HttpRequest> job;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        work_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        job = std::move(queue_.front());
        queue_.pop_front();
      }
      HttpAnswer answer = Send(job.second);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_.emplace_back(job.first, std::move(answer));
      }
      answered_.notify_one();
    }
  }

  std::string Header(HINTERNET request, DWORD which) {
    DWORD bytes = 0;
    api_.queryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &bytes, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) return {};
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    if (!api_.queryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &bytes, WINHTTP_NO_HEADER_INDEX))
      return {};
    value.resize(bytes / sizeof(wchar_t));
    std::string out;
    AppendUtf8(out, std::wstring_view(value).substr(0, kHeaderValueLimit));
    return out;
  }

  HttpAnswer Send(const HttpRequest& r) {
    HttpAnswer answer;
    const auto fail = [&] {
      answer.failure = FailureOf(GetLastError());
      return answer;
    };
    Handle connect(api_, api_.connect(session_, Widen(r.host).c_str(), r.port, 0));
    if (!connect.get()) return fail();
    const DWORD flags = (r.https ? WINHTTP_FLAG_SECURE : 0) | WINHTTP_FLAG_ESCAPE_DISABLE;  // the core has encoded it
    Handle request(api_, api_.openRequest(connect.get(), r.head ? L"HEAD" : L"GET", Widen(r.target).c_str(), nullptr,
                                          WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!request.get()) return fail();
    // The core follows redirects itself; no cookies, and never the user's
    // credentials, not even to an intranet host.
    DWORD disable = WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_AUTHENTICATION;
    DWORD logon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH;
    // The time for all of the response's headers, so that a server sending
    // them byte by byte cannot hold the request open.
    DWORD responseMs = static_cast<DWORD>(timeoutMs_);
    api_.setOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof disable);
    api_.setOption(request.get(), WINHTTP_OPTION_AUTOLOGON_POLICY, &logon, sizeof logon);
    api_.setOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseMs, sizeof responseMs);
    api_.setTimeouts(request.get(), timeoutMs_, timeoutMs_, timeoutMs_, timeoutMs_);
    if (!api_.sendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !api_.receiveResponse(request.get(), nullptr))
      return fail();
    DWORD status = 0, size = sizeof status;
    if (!api_.queryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                           &status, &size, WINHTTP_NO_HEADER_INDEX))
      return fail();
    answer.status = static_cast<int>(status);
    answer.location = Header(request.get(), WINHTTP_QUERY_LOCATION);
    answer.retryAfter = Header(request.get(), WINHTTP_QUERY_RETRY_AFTER);
    if (!r.head) {  // a first piece of the body, no more; the handle's close drops the rest
      char piece[kGetBodyLimit];
      DWORD got = 0;
      api_.readData(request.get(), piece, sizeof piece, &got);
    }
    return answer;
  }

  WinHttpApi api_;
  const int timeoutMs_;
  HINTERNET session_ = nullptr;
  std::mutex mutex_;
  std::condition_variable work_, answered_;
  std::deque<std::pair<size_t, HttpRequest>> queue_;
  std::vector<std::pair<size_t, HttpAnswer>> answers_;
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace

std::unique_ptr<HttpTransport> CreateHttpTransport(const CheckSettings& settings, std::wstring& error) {
  auto transport = std::make_unique<WinHttpTransport>(settings);
  if (!transport->ok()) {
    error = L"WinHTTP could not be started (error " + std::to_wstring(GetLastError()) + L")";
    return nullptr;
  }
  return transport;
}

}  // namespace vorpa::cli
