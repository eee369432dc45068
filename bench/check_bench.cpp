// vorpa-list --check on 10,000 shortcuts to a local server on eight ports
// that answers every request after 50 ms: its time against the ideal for the
// requests in flight, and against Debian's linkchecker checking the same URLs
// from the tool's own bookmark file with as many threads, in the same run.
// Also the memory the check adds per URL.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr int kUrls = 10000, kPorts = 8, kJobs = 16, kDelayMs = 50;
std::atomic<long> served{0};

// One thread a connection, keep-alive; every answer waits 50 ms. linkchecker
// goes past 10 requests a second to one host only for a server that answers
// with a "LinkChecker" header.
void Serve(int fd) {
  std::string in;
  char buf[4096];
  for (;;) {
    size_t end;
    while ((end = in.find("\r\n\r\n")) == std::string::npos) {
      const ssize_t n = read(fd, buf, sizeof buf);
      if (n <= 0) {
        close(fd);
        return;
      }
      in.append(buf, static_cast<size_t>(n));
    }
    const bool head = in.compare(0, 5, "HEAD ") == 0;
    in.erase(0, end + 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(kDelayMs));
    ++served;
    std::string out = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\nLinkChecker: yes\r\n\r\n";
    if (!head) out += "ok";
    if (write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size())) {
      close(fd);
      return;
    }
  }
}

int Listen(int& port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 1024) != 0) return -1;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  std::thread([s] {
    for (int c; (c = accept(s, nullptr, nullptr)) >= 0;) std::thread(Serve, c).detach();
  }).detach();
  return s;
}

struct Run {
  double seconds;
  long maxRssKb;
  int status;
};

Run Spawn(std::vector<std::string> args, const std::string& out) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const auto t0 = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) return {0, 0, -1};
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  posix_spawn_file_actions_destroy(&actions);
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), usage.ru_maxrss,
          WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

size_t Count(const std::string& file, const std::string& what) {
  std::ifstream in(file);
  std::stringstream s;
  s << in.rdbuf();
  const std::string text = s.str();
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  const fs::path tool = fs::canonical("/proc/self/exe").parent_path() / "vorpa-list";
  const fs::path root = fs::temp_directory_path() / ("vorpa-check-bench-" + std::to_string(getpid()));
  // Nothing between the programs and the local server.
  for (const char* v : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(v);
  std::vector<int> ports(kPorts);
  for (int& p : ports) {
    if (Listen(p) >= 0) continue;
    std::perror("listen");
    return 1;
  }
  for (int i = 0; i < kUrls; ++i) {
    const fs::path folder = root / "tree" / ("folder" + std::to_string(i / 100));
    if (i % 100 == 0) fs::create_directories(folder);
    std::ofstream(folder / ("page " + std::to_string(i) + ".url"), std::ios::binary)
        << "[InternetShortcut]\r\nURL=http://127.0.0.1:" << ports[static_cast<size_t>(i % kPorts)] << "/page/" << i << "\r\n";
  }
  const std::string tree = (root / "tree").string(), out = (root / "out.json").string();
  const std::string bookmarks = (root / "bookmarks.html").string(), config = (root / "linkcheckerrc").string();
  std::ofstream(config) << "[checking]\nmaxrequestspersecond=1000\n";

  const Run plain = Spawn({tool, "-r", "-q", "--format", "json", "-o", out, tree}, "/dev/null");
  const long before = served;
  const Run ours = Spawn({tool, "-r", "-q", "--check", "--jobs", std::to_string(kJobs), "--format", "json", "-o", out, tree}, "/dev/null");
  const long ourRequests = served - before;
  const size_t ok = Count(out, "\"check\":\"ok\"");
  Spawn({tool, "-r", "-q", "--format", "html", "-o", bookmarks, tree}, "/dev/null");
  const long before2 = served;
  const Run theirs = Spawn({"linkchecker", "--threads", std::to_string(kJobs), "--check-extern", "--no-status", "-f", config,
                            "-o", "none", bookmarks},
                           "/dev/null");
  const long theirRequests = served - before2;

  const double ideal = static_cast<double>((kUrls + kJobs - 1) / kJobs) * kDelayMs / 1000.0;
  std::printf("%d URLs on %d ports, every answer after %d ms, %d requests in flight\n", kUrls, kPorts, kDelayMs, kJobs);
  std::printf("vorpa-list --check: %.2f s, %ld requests, %zu ok (exit %d); ideal %.2f s: ratio %.2f (aim <= 1.30)\n",
              ours.seconds, ourRequests, ok, ours.status, ideal, ours.seconds / ideal);
  if (theirs.status < 0)
    std::printf("linkchecker: not found (scripts/bench.sh installs it)\n");
  else
    std::printf("linkchecker --threads %d: %.2f s, %ld requests (exit %d): ratio %.2f (aim <= 0.50)\n", kJobs, theirs.seconds,
                theirRequests, theirs.status, ours.seconds / theirs.seconds);
  // Both wait 50 ms per request with as many in flight: no checker can go
  // below the ideal time, so no ratio can go below this one.
  if (theirs.status >= 0) std::printf("  lowest ratio any checker could reach here: %.2f\n", ideal / theirs.seconds);
  std::printf("memory: %ld KiB listing, %ld KiB listing and checking: %.0f bytes a URL beyond the rows (aim < 1024)\n",
              plain.maxRssKb, ours.maxRssKb, static_cast<double>(ours.maxRssKb - plain.maxRssKb) * 1024.0 / kUrls);
  fs::remove_all(root);
  return 0;
}
