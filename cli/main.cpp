// vorpa-list's entry point: the arguments as wide text, whatever the platform.
#include <string>
#include <vector>

#include "cli/ListTool.h"
#include "cli/FileName.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  return vorpa::cli::RunListTool(args);
}
#else
#include <clocale>
#include <csignal>

#if defined(__GLIBC__) && defined(__linux__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace {

// A list keeps three small strings a row: a hundred thousand rows fill some
// 40 MiB of heap, and every 4 KiB page of it costs a trap into the kernel
// when first written, which on a virtual machine costs more than reading a
// shortcut. So the heap takes its address space in one large step, which the
// kernel may back with 2 MiB pages as they are written, and the reading
// threads allocate from that heap too (each of their own heaps would grow by
// a system call per page). Address space only: a short list still writes, and
// is given, only the pages it uses.
void PrepareHeap() {
  if (sizeof(void*) < 8) return;  // address space is scarce there
  constexpr std::size_t kStep = std::size_t{256} << 20;
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  if (!mallopt(M_ARENA_MAX, 1) || !mallopt(M_TOP_PAD, static_cast<int>(kStep))) return;
  // The heap keeps what is freed (the run is short), and the row arrays come
  // from it as well, not each from a mapping of its own.
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * kStep));
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  void* probe = std::malloc(kHugePage);  // grows the heap by the step now
  if (!probe) return;
  const auto hugeUp = [&](std::uintptr_t a) { return (a + kHugePage - 1) & ~(std::uintptr_t{kHugePage} - 1); };
  const std::uintptr_t from = hugeUp(reinterpret_cast<std::uintptr_t>(probe));
  const std::uintptr_t to = reinterpret_cast<std::uintptr_t>(sbrk(0)) & ~(std::uintptr_t{kHugePage} - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
  std::free(probe);
}

}  // namespace
#else
namespace {
void PrepareHeap() {}
}  // namespace
#endif

int main(int argc, char** argv) {
  PrepareHeap();
  // A reader that went away must not end the run unseen: a closed standard
  // output is then a write error (exit 1), and a closed standard error must
  // not keep an -o FILE from being written.
  std::signal(SIGPIPE, SIG_IGN);
  // Letter case of non-ASCII text (the sort, comparisons) follows the
  // environment's locale.
  std::setlocale(LC_CTYPE, "");
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) args.push_back(vorpa::cli::DecodeFileName(argv[i]));
  return vorpa::cli::RunListTool(args);
}
#endif
