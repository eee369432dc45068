// The native transport of the link check: libcurl's multi interface, all
// requests on the calling thread.
#include <curl/curl.h>
#include <dlfcn.h>

#include <type_traits>

#include "app/version.h"
#include "cli/Check.h"
#include "cli/FileName.h"
#include "cli/Rows.h"

namespace vorpa::cli {
namespace {

struct Transfer {
  CURL* easy = nullptr;
  size_t tag = 0;
  bool cut = false;  // the GET was ended on purpose after its first bytes
  HttpAnswer answer;
};

bool StartsWithIgnoringCase(std::string_view line, std::string_view name) {
  if (line.size() < name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(line[i])) != name[i]) return false;
  return true;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  std::string_view line(data, size * count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  // Each response (an interim 100 among them) starts afresh.
  if (line.substr(0, 5) == "HTTP/") {
    t->answer.location.clear();
    t->answer.retryAfter.clear();
  }
  for (auto [name, value] : {std::pair{std::string_view("location:"), &t->answer.location},
                             std::pair{std::string_view("retry-after:"), &t->answer.retryAfter}})
    if (StartsWithIgnoringCase(line, name)) value->assign(line.substr(name.size(), kHeaderValueLimit));
  return size * count;
}

// A few kilobytes of a GET's body are enough: the status has come.
size_t OnBody(char*, size_t, size_t, void* user) {
  static_cast<Transfer*>(user)->cut = true;
  return 0;
}

HttpAnswer::Failure FailureOf(CURLcode code) {
  using F = HttpAnswer::Failure;
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST: return F::kNoHost;
    case CURLE_COULDNT_CONNECT: return F::kRefused;
    case CURLE_OPERATION_TIMEDOUT: return F::kTimeout;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS: return F::kTls;
    default: return F::kOther;
  }
}

// libcurl is loaded when a check starts, not with the program: with what it
// loads in turn (TLS, LDAP, SSH...), loading it cost every run of the tool
// some 15 ms of processor time, as much as reading 2,000 shortcuts.
struct CurlApi {
  decltype(&curl_global_init) global_init;
  decltype(&curl_easy_init) easy_init;
  decltype(&curl_easy_reset) easy_reset;
  decltype(&curl_easy_setopt) easy_setopt;
  decltype(&curl_easy_getinfo) easy_getinfo;
  decltype(&curl_easy_cleanup) easy_cleanup;
  decltype(&curl_multi_init) multi_init;
  decltype(&curl_multi_add_handle) multi_add_handle;
  decltype(&curl_multi_remove_handle) multi_remove_handle;
  decltype(&curl_multi_perform) multi_perform;
  decltype(&curl_multi_poll) multi_poll;
  decltype(&curl_multi_info_read) multi_info_read;
  decltype(&curl_multi_cleanup) multi_cleanup;
};

// Null when the library or one of its functions is missing, or it would not start.
const CurlApi* LoadCurl() {
  static const CurlApi* const api = []() -> const CurlApi* {
    void* const library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    static CurlApi a;
    bool all = true;
    const auto bind = [&](auto& function, const char* name) {
      function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
      all = all && function != nullptr;
    };
    bind(a.global_init, "curl_global_init");
    bind(a.easy_init, "curl_easy_init");
    bind(a.easy_reset, "curl_easy_reset");
    bind(a.easy_setopt, "curl_easy_setopt");
    bind(a.easy_getinfo, "curl_easy_getinfo");
    bind(a.easy_cleanup, "curl_easy_cleanup");
    bind(a.multi_init, "curl_multi_init");
    bind(a.multi_add_handle, "curl_multi_add_handle");
    bind(a.multi_remove_handle, "curl_multi_remove_handle");
    bind(a.multi_perform, "curl_multi_perform");
    bind(a.multi_poll, "curl_multi_poll");
    bind(a.multi_info_read, "curl_multi_info_read");
    bind(a.multi_cleanup, "curl_multi_cleanup");
    if (!all || a.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return nullptr;
    return &a;
  }();
  return api;
}

class CurlTransport : public HttpTransport {
 public:
  CurlTransport(const CurlApi& curl, const CheckSettings& settings)
      : curl_(curl), settings_(settings), caFile_(EncodeFileName(settings.caFile)) {
    multi_ = curl_.multi_init();
  }
  ~CurlTransport() override {
    for (auto& t : busy_)
      if (t) {
        curl_.multi_remove_handle(multi_, t->easy);
        curl_.easy_cleanup(t->easy);
      }
    for (auto& t : idle_) curl_.easy_cleanup(t->easy);
    curl_.multi_cleanup(multi_);
  }
  bool ok() const { return multi_ != nullptr; }

  void Start(size_t tag, const HttpRequest& request) override {
    std::unique_ptr<Transfer> t;
    if (idle_.empty()) {
      t = std::make_unique<Transfer>();
      t->easy = curl_.easy_init();
    } else {
      t = std::move(idle_.back());
      idle_.pop_back();
      curl_.easy_reset(t->easy);
    }
    t->tag = tag;
    t->cut = false;
    t->answer = HttpAnswer();
    CURL* e = t->easy;
    const long timeoutMs = static_cast<long>(settings_.timeoutSeconds) * 1000;
    curl_.easy_setopt(e, CURLOPT_URL, request.url.c_str());
    curl_.easy_setopt(e, CURLOPT_NOBODY, request.head ? 1L : 0L);
    curl_.easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_.easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);  // the core follows, and judges each step
    curl_.easy_setopt(e, CURLOPT_USERAGENT, "vorpa-list/" VORPA_VERSION_STR);
    curl_.easy_setopt(e, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_.easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
    curl_.easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_.easy_setopt(e, CURLOPT_BUFFERSIZE, static_cast<long>(kGetBodyLimit));
    curl_.easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_.easy_setopt(e, CURLOPT_HEADERDATA, t.get());
    curl_.easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody);
    curl_.easy_setopt(e, CURLOPT_WRITEDATA, t.get());
    if (!caFile_.empty()) curl_.easy_setopt(e, CURLOPT_CAINFO, caFile_.c_str());
    curl_.easy_setopt(e, CURLOPT_PRIVATE, t.get());
    curl_.multi_add_handle(multi_, e);
    busy_.push_back(std::move(t));
  }

  void Wait(int waitMs, std::vector<std::pair<size_t, HttpAnswer>>& done) override {
    int running = 0;
    curl_.multi_perform(multi_, &running);
    if (!Collect(done)) {
      curl_.multi_poll(multi_, nullptr, 0, waitMs, nullptr);
      curl_.multi_perform(multi_, &running);
      Collect(done);
    }
  }

 private:
  bool Collect(std::vector<std::pair<size_t, HttpAnswer>>& done) {
    bool any = false;
    int left = 0;
    while (CURLMsg* m = curl_.multi_info_read(multi_, &left)) {
      if (m->msg != CURLMSG_DONE) continue;
      Transfer* t = nullptr;
      curl_.easy_getinfo(m->easy_handle, CURLINFO_PRIVATE, reinterpret_cast<char**>(&t));
      const CURLcode code = m->data.result;
      long status = 0;
      curl_.easy_getinfo(t->easy, CURLINFO_RESPONSE_CODE, &status);
      if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && t->cut)) {
        t->answer.status = static_cast<int>(status);
      } else {
        t->answer.failure = FailureOf(code);
      }
      curl_.multi_remove_handle(multi_, t->easy);
      done.emplace_back(t->tag, std::move(t->answer));
      for (auto& b : busy_)
        if (b.get() == t) {
          idle_.push_back(std::move(b));
          b = std::move(busy_.back());
          busy_.pop_back();
          break;
        }
      any = true;
    }
    return any;
  }

  const CurlApi& curl_;
  const CheckSettings& settings_;
  std::string caFile_;
  CURLM* multi_ = nullptr;
  std::vector<std::unique_ptr<Transfer>> busy_, idle_;
};

}  // namespace

std::unique_ptr<HttpTransport> CreateHttpTransport(const CheckSettings& settings, std::wstring& error) {
  const CurlApi* const curl = LoadCurl();
  if (!curl) {
    error = L"libcurl (libcurl.so.4) could not be loaded";
    return nullptr;
  }
  auto transport = std::make_unique<CurlTransport>(*curl, settings);
  if (!transport->ok()) {
    error = L"libcurl could not be started";
    return nullptr;
  }
  return transport;
}

}  // namespace vorpa::cli
