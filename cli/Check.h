#pragma once
// Dead-link checking for vorpa-list --check. The policy (what is asked, how
// often, how answers become verdicts, how hard one server is pressed) lives
// in one portable core; a transport only sends one request and reports its
// answer: libcurl natively, WinHTTP on Windows.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/Rows.h"

namespace vorpa::cli {

enum class Verdict : uint8_t { kOk, kMoved, kDead, kRestricted, kError, kSkipped };
const wchar_t* VerdictName(Verdict verdict);

struct CheckResult {
  Verdict verdict = Verdict::kSkipped;
  uint16_t status = 0;      // the last HTTP status, 0 when none came
  bool redirected = false;  // finalUrl holds where the redirects led
  std::wstring finalUrl;
};

// The URL after redirects as the formats write it: the shortcut's own URL
// when nothing redirected, nothing for a URL never contacted.
std::wstring FinalUrlOf(const CheckResult& result, const std::wstring& rowUrl);

// One request as a transport sends it. No user information, no fragment.
struct HttpRequest {
  std::string url;     // absolute, ASCII, scheme and host in lower case
  bool https = false;
  std::string host;    // an IPv6 literal without its brackets
  uint16_t port = 0;
  std::string target;  // path and query, starting with '/'
  bool head = true;    // HEAD, or GET that reads a few kilobytes at most
};

struct HttpAnswer {
  enum class Failure : uint8_t { kNone, kNoHost, kRefused, kTimeout, kTls, kOther };
  Failure failure = Failure::kNone;
  int status = 0;
  std::string location;    // raw header values, bounded by the transport
  std::string retryAfter;
};

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  // Sends a request; its answer comes back from Wait with the same tag.
  virtual void Start(size_t tag, const HttpRequest& request) = 0;
  // Waits up to waitMs for answers and appends those that came.
  virtual void Wait(int waitMs, std::vector<std::pair<size_t, HttpAnswer>>& done) = 0;
};

struct CheckSettings {
  int jobs = 16;            // requests in flight
  int timeoutSeconds = 10;  // per request
  std::wstring caFile;      // natively: extra trusted certificates (PEM)
};

inline constexpr int kPerHostLimit = 4;
inline constexpr int kMaxRedirects = 10;
inline constexpr int kMaxRetryAfterSeconds = 30;
inline constexpr size_t kGetBodyLimit = 4096;
inline constexpr size_t kHeaderValueLimit = 8192;

// The request for a shortcut's URL, or nothing when the window's web-address
// test refuses it or it is no http or https address: never contacted.
std::optional<HttpRequest> MakeRequest(std::wstring_view url);
// Where a Location header leads from `base`; nothing for garbage or another
// scheme than http and https (file:, javascript:...), which are never followed.
std::optional<HttpRequest> ResolveLocation(const HttpRequest& base, std::string_view location);
// Seconds to wait for a Retry-After value (seconds or an HTTP date), bounded;
// nothing when the value is neither.
std::optional<int> RetryAfterSeconds(std::string_view value, long long nowUnixSeconds);

// Checks each URL once; results in the order given. `progress` (checked, of)
// is called now and then.
std::vector<CheckResult> CheckUrls(const std::vector<std::wstring>& urls, const CheckSettings& settings,
                                   HttpTransport& transport, const std::function<void(size_t, size_t)>& progress);

// The platform's transport; null with `error` set when it cannot start.
std::unique_ptr<HttpTransport> CreateHttpTransport(const CheckSettings& settings, std::wstring& error);

// Checks the rows' URLs, each distinct one once, and points every row's
// RowInfo::check at its result. Progress on a terminal unless `quiet`.
bool CheckRows(RowSet& set, const CheckSettings& settings, bool quiet, std::vector<CheckResult>& results,
               std::wstring& error);

// For --fail-on: a row dead by its check or flagged by the audit; and
// whether any two rows' URLs are duplicates.
bool MatchesFailOn(const RowSet& set, unsigned failOn, const std::vector<CheckResult>& results);
bool HasDuplicateUrls(const RowSet& set);

}  // namespace vorpa::cli
