// vorpa-list on a tree of 100,000 shortcut files in 1,000 folders (the tree
// of the scan benchmark), against a bare walk that enumerates the same tree
// and reads every file's bytes, and against a Python configparser script
// that lists the same URLs. Also the tool's peak memory per row.
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Shortcut names as a Japanese user has them: mostly Japanese, some ASCII.
// Returns the characters of the rows' texts as the tool holds them for a
// CSV: name, URL and folder column (the path only for the formats that
// write it).
size_t MakeTree(const std::string& root, int folders, int perFolder, bool write) {
  size_t textChars = 0;
  if (write) std::filesystem::create_directories(root);
  for (int f = 0; f < folders; ++f) {
    const std::string folder = root + "/フォルダ" + std::to_string(f);
    if (write) std::filesystem::create_directory(folder);
    for (int i = 0; i < perFolder; ++i) {
      const std::string name = (i % 3 == 0 ? "Site " : "ホームページ ") + std::to_string(f * perFolder + i);
      const std::string url = "https://www" + std::to_string(f) + ".example.com/path/page" + std::to_string(i) + ".html";
      if (write)
        std::ofstream(folder + "/" + name + ".url", std::ios::binary) << "[InternetShortcut]\r\nURL=" << url
                                                                       << "\r\nIconIndex=0\r\n";
      const size_t nameChars = i % 3 == 0 ? name.size() : name.size() - 12;  // 6 Japanese letters, 3 bytes each in UTF-8
      const size_t folderChars = 5 + std::to_string(f).size();
      textChars += nameChars + url.size() + (folderChars + 1);
    }
  }
  return textChars;
}

void BareWalk(const std::string& folder, size_t& files, size_t& bytes) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* d = readdir(dir)) {
    if (d->d_name[0] == '.') continue;
    const std::string path = folder + "/" + d->d_name;
    if (d->d_type == DT_DIR) {
      BareWalk(path, files, bytes);
      continue;
    }
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) continue;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) bytes += static_cast<size_t>(got);
    close(fd);
    ++files;
  }
  closedir(dir);
}

struct Run {
  double ms;
  long maxRssKb;
  int status;
  double cpuMs;
};

double CpuMs(const rusage& u) {
  return (static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
          static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3);
}

Run Spawn(std::vector<std::string> args, const char* out) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const double t0 = NowMs();
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) return {0, 0, -1, 0};
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  posix_spawn_file_actions_destroy(&actions);
  return {NowMs() - t0, usage.ru_maxrss, status, CpuMs(usage)};
}

template <class F>
double Best(int runs, F&& f) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) best = std::min(best, f());
  return best;
}

}  // namespace

// Usage: bench_cli [FOLDER]. With a FOLDER the trees are made there once
// and kept for the next run (making them takes longer than the runs).
int main(int argc, char** argv) {
  const std::string self = std::filesystem::canonical("/proc/self/exe").string();
  const std::string tool = std::filesystem::path(self).parent_path() / "vorpa-list";
  const bool keep = argc > 1;
  const std::string root =
      keep ? std::string(argv[1]) : std::string(std::filesystem::temp_directory_path() / ("vorpa-cli-bench-" + std::to_string(getpid())));
  const std::string tree = root + "/tree", small = root + "/small";
  const bool made = keep && std::filesystem::exists(root + "/done");
  const size_t textChars = MakeTree(tree, 1000, 100, !made);
  MakeTree(small, 1, 1, !made);
  if (keep) std::ofstream(root + "/done") << "";
  const std::string script = root + "/list.py";
  std::ofstream(script) << "import configparser, os, sys\n"
                           "for folder, _, files in os.walk(sys.argv[1]):\n"
                           "    for f in files:\n"
                           "        if f.lower().endswith('.url'):\n"
                           "            p = configparser.ConfigParser(interpolation=None, strict=False)\n"
                           "            try:\n"
                           "                p.read(os.path.join(folder, f), encoding='cp932')\n"
                           "                url = p.get('InternetShortcut', 'URL', fallback='')\n"
                           "            except configparser.Error:\n"
                           "                url = ''\n"
                           "            print(f[:-4], url, folder, sep=',')\n";
  // A first walk brings the tree into the page cache for all three.
  size_t files = 0, bytes = 0;
  BareWalk(tree, files, bytes);

  // Interleaved, best of five each: the machine is shared, and a slow
  // moment should not fall on one side only.
  double bare = 1e300, bareCpu = 1e300, ours = 1e300, oursCpu = 1e300;
  Run last{};
  for (int i = 0; i < 5; ++i) {
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    size_t n = 0, b = 0;
    const double t0 = NowMs();
    BareWalk(tree, n, b);
    bare = std::min(bare, NowMs() - t0);
    getrusage(RUSAGE_SELF, &after);
    bareCpu = std::min(bareCpu, CpuMs(after) - CpuMs(before));
    last = Spawn({tool, "-r", "-q", tree}, "/dev/null");
    ours = std::min(ours, last.ms);
    oursCpu = std::min(oursCpu, last.cpuMs);
  }
  // The same on one processor, where the tool reads on its own thread: what
  // a machine busy with other work leaves it.
  double bareOne = 1e300, oursOne = 1e300;
  cpu_set_t all, one;
  sched_getaffinity(0, sizeof all, &all);
  CPU_ZERO(&one);
  for (int c = 0; c < CPU_SETSIZE; ++c)
    if (CPU_ISSET(c, &all)) {
      CPU_SET(c, &one);
      break;
    }
  sched_setaffinity(0, sizeof one, &one);
  for (int i = 0; i < 3; ++i) {
    size_t n = 0, b = 0;
    const double t0 = NowMs();
    BareWalk(tree, n, b);
    bareOne = std::min(bareOne, NowMs() - t0);
    oursOne = std::min(oursOne, Spawn({tool, "-r", "-q", tree}, "/dev/null").ms);
  }
  sched_setaffinity(0, sizeof all, &all);

  const double python = Best(1, [&] { return Spawn({"/usr/bin/python3", script, tree}, "/dev/null").ms; });
  // Memory with the output written to a file and to standard output.
  const Run toFile = Spawn({tool, "-r", "-q", "-o", root + "/out.csv", tree}, "/dev/null");
  const Run smallRun = Spawn({tool, "-r", "-q", "-o", root + "/small.csv", small}, "/dev/null");
  const Run smallStdout = Spawn({tool, "-r", "-q", small}, "/dev/null");

  std::printf("tree: %zu files, %zu bytes\n", files, bytes);
  std::printf("vorpa-list -r (csv to stdout): %.1f ms vs bare walk-and-read %.1f ms, ratio %.2f (aim <= 1.30)\n", ours, bare,
              ours / bare);
  std::printf("  processor time: %.1f ms vs %.1f ms, ratio %.2f\n", oursCpu, bareCpu, oursCpu / bareCpu);
  std::printf("  on one processor: %.1f ms vs %.1f ms, ratio %.2f\n", oursOne, bareOne, oursOne / bareOne);
  std::printf("vorpa-list vs Python configparser script %.1f ms: ratio %.2f (aim < 1.00)\n", python, ours / python);
  const double textPerRow = static_cast<double>(textChars * sizeof(wchar_t)) / 100000.0;
  const auto memory = [&](const char* what, const Run& big, const Run& one) {
    const double perRow = (static_cast<double>(big.maxRssKb - one.maxRssKb) * 1024.0) / 100000.0;
    std::printf("peak memory, %s: %ld KiB for 100,000 rows, %ld KiB for one; %.0f bytes a row, of which text %.0f, beyond the text %.0f (aim < 400)\n",
                what, big.maxRssKb, one.maxRssKb, perRow, textPerRow, perRow - textPerRow);
  };
  memory("-o FILE", toFile, smallRun);
  memory("stdout", last, smallStdout);
  std::printf("exit status %d\n", WEXITSTATUS(last.status));
  if (!keep) std::filesystem::remove_all(root);
  return 0;
}
