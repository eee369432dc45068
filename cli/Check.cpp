#include "cli/Check.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <deque>
#include <unordered_map>
#include <unordered_set>

#include "cli/Walk.h"
#include "common/Text.h"
#include "common/WebAddress.h"

namespace vorpa::cli {
namespace {

using Clock = std::chrono::steady_clock;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsHex(char c) { return (c >= '0' && c <= '9') || (Lower(c) >= 'a' && Lower(c) <= 'f'); }

// Bytes that may not stand as they are in a request line are percent-encoded;
// controls make the text no URL at all.
bool EncodeUrlBytes(std::string_view in, std::string& out) {
  static const char kHex[] = "0123456789ABCDEF";
  for (size_t i = 0; i < in.size(); ++i) {
    const auto b = static_cast<unsigned char>(in[i]);
    if (b < 0x20 || b == 0x7F) return false;
    const bool strayPercent = b == '%' && !(i + 2 < in.size() && IsHex(in[i + 1]) && IsHex(in[i + 2]));
    if (b >= 0x80 || b == ' ' || strayPercent || std::string_view("<>{}|^`\"").find(static_cast<char>(b)) != std::string_view::npos) {
      out.push_back('%');
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 15]);
    } else {
      out.push_back(static_cast<char>(b));
    }
  }
  return true;
}

// RFC 3986's removal of "." and ".." segments from a path.
std::string RemoveDotSegments(std::string_view in) {
  std::string out;
  const auto popSegment = [&] { out.resize(std::min(out.size(), out.rfind('/') == std::string::npos ? 0 : out.rfind('/'))); };
  while (!in.empty()) {
    if (in.substr(0, 3) == "../") {
      in.remove_prefix(3);
    } else if (in.substr(0, 2) == "./" || in.substr(0, 3) == "/./") {
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.substr(0, 4) == "/../" || in == "/..") {
      in.remove_prefix(3);
      if (in.empty()) in = "/";
      popSegment();
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      const size_t next = in.find('/', 1);
      out.append(in.substr(0, next));
      in.remove_prefix(next == std::string_view::npos ? in.size() : next);
    }
  }
  return out;
}

std::string Origin(const HttpRequest& r) {
  const size_t pathStart = r.url.find('/', r.url.find("//") + 2);
  return r.url.substr(0, pathStart);
}

bool ParseNumber(std::string_view s, long long& value, long long max) {
  if (s.empty()) return false;
  value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > max) value = max + 1;
  }
  return true;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

}  // namespace

const wchar_t* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kOk: return L"ok";
    case Verdict::kMoved: return L"moved";
    case Verdict::kDead: return L"dead";
    case Verdict::kRestricted: return L"restricted";
    case Verdict::kError: return L"error";
    case Verdict::kSkipped: return L"skipped";
  }
  return L"";
}

std::wstring FinalUrlOf(const CheckResult& result, const std::wstring& rowUrl) {
  if (result.verdict == Verdict::kSkipped) return {};
  return result.redirected ? result.finalUrl : rowUrl;
}

std::optional<HttpRequest> MakeRequest(std::wstring_view url) {
  const std::optional<WebAddressParts> parts = ParseWebAddress(url);
  if (!parts || (parts->scheme != L"http" && parts->scheme != L"https")) return std::nullopt;
  std::string utf8;
  AppendUtf8(utf8, url);
  HttpRequest r;
  r.https = parts->scheme == L"https";
  // The web-address test has vouched for "scheme://authority" with an ASCII host.
  const size_t authStart = utf8.find("//") + 2;
  const size_t authEnd = std::min(utf8.find_first_of("/?#", authStart), utf8.size());
  std::string_view authority = std::string_view(utf8).substr(authStart, authEnd - authStart);
  const size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);  // credentials are never sent
  std::string_view port;
  if (!authority.empty() && authority.front() == '[') {
    const size_t close = authority.find(']');
    r.host = std::string(authority.substr(1, close - 1));
    if (close + 1 < authority.size()) port = authority.substr(close + 2);
  } else {
    const size_t colon = authority.find(':');
    r.host = std::string(authority.substr(0, colon));
    if (colon != std::string_view::npos) port = authority.substr(colon + 1);
  }
  for (char& c : r.host) c = Lower(c);
  long long number = r.https ? 443 : 80;
  if (!port.empty() && (!ParseNumber(port, number, 65535) || number == 0 || number > 65535)) return std::nullopt;
  r.port = static_cast<uint16_t>(number);
  std::string_view rest = std::string_view(utf8).substr(authEnd);
  rest = rest.substr(0, rest.find('#'));
  std::string target = rest.empty() || rest.front() != '/' ? "/" : "";
  if (!EncodeUrlBytes(rest, target)) return std::nullopt;
  r.target = std::move(target);
  const bool defaultPort = r.port == (r.https ? 443 : 80);
  const bool ipv6 = r.host.find(':') != std::string::npos;
  r.url = r.https ? "https://" : "http://";
  r.url.append(ipv6 ? "[" : "").append(r.host).append(ipv6 ? "]" : "");
  if (!defaultPort) r.url.append(":").append(std::to_string(r.port));
  r.url.append(r.target);
  return r;
}

std::optional<HttpRequest> ResolveLocation(const HttpRequest& base, std::string_view location) {
  while (!location.empty() && (location.front() == ' ' || location.front() == '\t')) location.remove_prefix(1);
  while (!location.empty() && (location.back() == ' ' || location.back() == '\t')) location.remove_suffix(1);
  std::string loc;
  if (location.empty() || !EncodeUrlBytes(location, loc)) return std::nullopt;
  size_t schemeEnd = 0;
  while (schemeEnd < loc.size() && (std::isalpha(static_cast<unsigned char>(loc[schemeEnd])) ||
                                    (schemeEnd > 0 && (std::isdigit(static_cast<unsigned char>(loc[schemeEnd])) ||
                                                       loc[schemeEnd] == '+' || loc[schemeEnd] == '-' || loc[schemeEnd] == '.'))))
    ++schemeEnd;
  std::string absolute;
  if (schemeEnd > 0 && schemeEnd < loc.size() && loc[schemeEnd] == ':') {
    std::string scheme = loc.substr(0, schemeEnd);
    for (char& c : scheme) c = Lower(c);
    if (scheme != "http" && scheme != "https") return std::nullopt;
    absolute = loc;
  } else if (loc.rfind("//", 0) == 0) {
    absolute = (base.https ? "https:" : "http:") + loc;
  } else if (loc.front() == '/') {
    absolute = Origin(base) + loc;
  } else if (loc.front() == '?') {
    absolute = Origin(base) + base.target.substr(0, base.target.find('?')) + loc;
  } else if (loc.front() == '#') {
    absolute = base.url;
  } else {
    const std::string path = base.target.substr(0, base.target.find('?'));
    absolute = Origin(base) + path.substr(0, path.rfind('/') + 1) + loc;
  }
  // The path without its dot segments, which the web-address test refuses.
  const size_t pathStart = std::min(absolute.find_first_of("/?#", absolute.find("//") + 2), absolute.size());
  const size_t pathEnd = std::min(absolute.find_first_of("?#", pathStart), absolute.size());
  absolute = absolute.substr(0, pathStart) + RemoveDotSegments(std::string_view(absolute).substr(pathStart, pathEnd - pathStart)) +
             absolute.substr(pathEnd);
  // ASCII by now: encoded above.
  return MakeRequest(std::wstring(absolute.begin(), absolute.end()));
}

std::optional<int> RetryAfterSeconds(std::string_view value, long long now) {
  while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
  long long seconds = 0;
  if (ParseNumber(value, seconds, kMaxRetryAfterSeconds)) return static_cast<int>(std::min<long long>(seconds, kMaxRetryAfterSeconds));
  // "Sun, 06 Nov 1994 08:49:37 GMT"
  char month[4] = {};
  int day = 0, year = 0, hour = 0, minute = 0, second = 0;
  const std::string text(value.substr(0, 64));
  if (std::sscanf(text.c_str(), "%*3s, %2d %3s %4d %2d:%2d:%2d GMT", &day, month, &year, &hour, &minute, &second) != 6)
    return std::nullopt;
  static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  const char* found = std::strstr(kMonths, month);
  if (!found || std::strlen(month) != 3 || (found - kMonths) % 3 != 0) return std::nullopt;
  const auto m = static_cast<unsigned>((found - kMonths) / 3 + 1);
  const long long when = DaysFromCivil(year, m, static_cast<unsigned>(day)) * 86400 + hour * 3600 + minute * 60 + second;
  return static_cast<int>(std::clamp<long long>(when - now, 0, kMaxRetryAfterSeconds));
}

namespace {

// One distinct URL on its way through HEAD, GET, redirects and a retry.
struct Job {
  size_t index = 0;
  HttpRequest request;
  std::string hostKey;
  std::vector<std::string> seen;  // URLs asked before, for loops
  bool retried = false;
  bool permanent = false;
};

class Checker {
 public:
  Checker(const CheckSettings& settings, HttpTransport& transport, std::vector<CheckResult>& results)
      : transport_(transport), results_(results), slots_(static_cast<size_t>(std::max(1, settings.jobs))) {}

  void Add(size_t index, HttpRequest request) {
    auto job = std::make_unique<Job>();
    job->index = index;
    job->request = std::move(request);
    Queue(std::move(job));
    ++pending_;
  }

  void Run(const std::function<void(size_t)>& checked) {
    std::vector<std::pair<size_t, HttpAnswer>> answers;
    size_t finished = 0;
    while (pending_ > 0) {
      Fill();
      int waitMs = 200;
      const auto now = Clock::now();
      for (const auto& [due, job] : delayed_)
        waitMs = std::min(waitMs, static_cast<int>(std::max<long long>(
                                      0, std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count())));
      answers.clear();
      if (inFlight_ > 0) {
        transport_.Wait(waitMs, answers);
      } else if (waitMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
      }
      for (auto& [tag, answer] : answers) Answer(tag, answer);
      const auto later = Clock::now();
      for (size_t i = 0; i < delayed_.size();) {
        if (delayed_[i].first <= later) {
          Queue(std::move(delayed_[i].second));
          delayed_.erase(delayed_.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
          ++i;
        }
      }
      if (finished != done_) checked(finished = done_);
    }
  }

 private:
  struct Host {
    int inFlight = 0;
    std::deque<std::unique_ptr<Job>> waiting;
    bool listed = false;
  };

  void Queue(std::unique_ptr<Job> job) {
    job->hostKey = job->request.host + ":" + std::to_string(job->request.port);
    Host& host = hosts_[job->hostKey];
    host.waiting.push_back(std::move(job));
    if (!host.listed) {
      host.listed = true;
      ready_.push_back(&host);
    }
  }

  // Starts waiting requests while slots are free, taking the hosts in turn
  // and never more than kPerHostLimit to one of them.
  void Fill() {
    size_t saturated = 0;
    while (inFlight_ < slots_.size() && saturated < ready_.size()) {
      Host* host = ready_.front();
      ready_.pop_front();
      if (host->waiting.empty()) {
        host->listed = false;
        continue;
      }
      if (host->inFlight >= kPerHostLimit) {
        ready_.push_back(host);
        ++saturated;
        continue;
      }
      saturated = 0;
      std::unique_ptr<Job> job = std::move(host->waiting.front());
      host->waiting.pop_front();
      if (host->waiting.empty())
        host->listed = false;
      else
        ready_.push_back(host);
      ++host->inFlight;
      size_t tag = 0;
      while (slots_[tag]) ++tag;
      transport_.Start(tag, job->request);
      slots_[tag] = std::move(job);
      ++inFlight_;
    }
  }

  void Finish(Job& job, Verdict verdict, int status) {
    CheckResult& r = results_[job.index];
    r.verdict = verdict;
    r.status = static_cast<uint16_t>(std::clamp(status, 0, 999));
    r.redirected = !job.seen.empty();
    if (r.redirected) r.finalUrl = DecodeCodePage(job.request.url, kCodePageUtf8);
    --pending_;
    ++done_;
  }

  void Later(std::unique_ptr<Job> job, int seconds) {
    delayed_.emplace_back(Clock::now() + std::chrono::seconds(seconds), std::move(job));
  }

  void Answer(size_t tag, const HttpAnswer& a) {
    std::unique_ptr<Job> job = std::move(slots_[tag]);
    --inFlight_;
    --hosts_[job->hostKey].inFlight;
    using F = HttpAnswer::Failure;
    switch (a.failure) {
      case F::kNone: break;
      case F::kNoHost:
      case F::kRefused: return Finish(*job, Verdict::kDead, 0);
      case F::kTimeout:
        if (job->retried) return Finish(*job, Verdict::kError, 0);
        job->retried = true;
        return Queue(std::move(job));
      case F::kTls:
      case F::kOther: return Finish(*job, Verdict::kError, 0);
    }
    const int s = a.status;
    // Many servers refuse HEAD, or answer it differently: a GET decides.
    if (job->request.head && s >= 400) {
      job->request.head = false;
      return Queue(std::move(job));
    }
    if (s == 301 || s == 302 || s == 303 || s == 307 || s == 308) {
      std::optional<HttpRequest> next = ResolveLocation(job->request, a.location);
      if (!next || job->seen.size() >= static_cast<size_t>(kMaxRedirects)) return Finish(*job, Verdict::kError, s);
      job->seen.push_back(job->request.url);
      if (std::find(job->seen.begin(), job->seen.end(), next->url) != job->seen.end()) {
        job->request = std::move(*next);
        return Finish(*job, Verdict::kError, s);
      }
      job->permanent = job->permanent || s == 301 || s == 308;
      job->request = std::move(*next);
      return Queue(std::move(job));
    }
    if (s >= 200 && s < 300) return Finish(*job, job->permanent ? Verdict::kMoved : Verdict::kOk, s);
    if (s == 404 || s == 410) return Finish(*job, Verdict::kDead, s);
    if (s == 401 || s == 403 || s == 451) return Finish(*job, Verdict::kRestricted, s);
    if (s == 429 || (s >= 500 && s < 600)) {
      if (job->retried) return Finish(*job, s == 429 ? Verdict::kRestricted : Verdict::kError, s);
      job->retried = true;
      const auto now = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch());
      return Later(std::move(job), RetryAfterSeconds(a.retryAfter, now.count()).value_or(1));
    }
    return Finish(*job, Verdict::kError, s);
  }

  HttpTransport& transport_;
  std::vector<CheckResult>& results_;
  std::vector<std::unique_ptr<Job>> slots_;  // in flight, by tag
  size_t inFlight_ = 0;
  size_t pending_ = 0;
  size_t done_ = 0;
  std::unordered_map<std::string, Host> hosts_;
  std::deque<Host*> ready_;  // hosts with waiting requests
  std::vector<std::pair<Clock::time_point, std::unique_ptr<Job>>> delayed_;
};

}  // namespace

std::vector<CheckResult> CheckUrls(const std::vector<std::wstring>& urls, const CheckSettings& settings,
                                   HttpTransport& transport, const std::function<void(size_t, size_t)>& progress) {
  std::vector<CheckResult> results(urls.size());
  Checker checker(settings, transport, results);
  size_t skipped = 0;
  for (size_t i = 0; i < urls.size(); ++i) {
    if (std::optional<HttpRequest> r = MakeRequest(urls[i]))
      checker.Add(i, std::move(*r));
    else
      ++skipped;
  }
  checker.Run([&](size_t done) {
    if (progress) progress(skipped + done, urls.size());
  });
  return results;
}

bool CheckRows(RowSet& set, const CheckSettings& settings, bool quiet, std::vector<CheckResult>& results,
               std::wstring& error) {
  std::vector<std::wstring> urls;
  std::unordered_map<std::wstring_view, uint32_t> index;
  // The views point into the rows, which stay where they are meanwhile.
  for (size_t i = 0; i < set.rows.size(); ++i) {
    auto [it, added] = index.try_emplace(set.rows[i].url, static_cast<uint32_t>(urls.size()));
    if (added) urls.push_back(set.rows[i].url);
    set.info[i].check = it->second;
  }
  index.clear();
  std::unique_ptr<HttpTransport> transport = CreateHttpTransport(settings, error);
  if (!transport) return false;
  const bool show = !quiet && StderrIsTerminal();
  const auto start = Clock::now();
  auto last = start;
  bool shown = false;
  results = CheckUrls(urls, settings, *transport, [&](size_t checked, size_t of) {
    const auto now = Clock::now();
    if (!show || now - last < std::chrono::milliseconds(200)) return;
    last = now;
    const double seconds = std::chrono::duration<double>(now - start).count();
    const auto rate = static_cast<unsigned long long>(seconds > 0 ? static_cast<double>(checked) / seconds : 0.0);
    WriteStderr(L"\r\x1b[Kchecked " + std::to_wstring(checked) + L", " + std::to_wstring(rate) + L"/s, " +
                std::to_wstring(of - checked) + L" left");
    shown = true;
  });
  if (shown) WriteStderr(L"\r\x1b[K");
  return true;
}

bool MatchesFailOn(const RowSet& set, unsigned failOn, const std::vector<CheckResult>& results) {
  for (size_t i = 0; i < set.rows.size(); ++i) {
    if ((failOn & kFailOnAudit) && !set.info[i].risk().empty()) return true;
    if ((failOn & kFailOnDead) && set.info[i].check < results.size() && results[set.info[i].check].verdict == Verdict::kDead)
      return true;
  }
  return false;
}

bool HasDuplicateUrls(const RowSet& set) {
  std::unordered_set<std::wstring> seen;
  for (const UrlEntry& row : set.rows)  // as --duplicates: rows without a URL share nothing
    if (!row.url.empty() && !seen.insert(NormalizeUrlForDuplicates(row.url)).second) return true;
  return false;
}

}  // namespace vorpa::cli
