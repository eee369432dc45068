#pragma once
// The folder walk and the file system calls of vorpa-list: one interface,
// one implementation for POSIX systems and one for Windows.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "list/ScanPaths.h"

namespace vorpa::cli {

struct WalkSettings {
  bool recursive = false;
  bool followLinks = false;  // also links whose target lies outside the PATH
  bool keepBytes = false;    // hand on the file's bytes (for the audit)
};

// One shortcut file met by the walk, already read.
struct FoundShortcut {
  std::wstring path;    // full path as walked (the PATH's text plus the names below it)
  std::wstring name;    // the name the window shows
  std::wstring url;     // the target, empty when there is none or the file could not be read
  std::string bytes;    // the file's leading bytes, when WalkSettings::keepBytes
  bool bytesCut = false;  // the file holds more than `bytes` (see ShortcutReading)
};

// The folder part of a FoundShortcut's path. On POSIX systems only '/'
// separates: '\\' and ':' are ordinary characters of a name there.
inline std::wstring_view FolderOfFoundPath(std::wstring_view path) {
#ifdef _WIN32
  return FolderPartOfPath(path);
#else
  const size_t cut = path.rfind(L'/');
  if (cut == std::wstring_view::npos) return {};
  return path.substr(0, cut == 0 ? 1 : cut);
#endif
}

class WalkEvents {
 public:
  virtual ~WalkEvents() = default;
  virtual void Found(FoundShortcut&& shortcut) = 0;
  // Something could not be read; the walk goes on.
  virtual void Warn(const std::wstring& path, const std::wstring& what) = 0;
  // Something worth telling that is no failure (a link not followed).
  virtual void Note(const std::wstring& path, const std::wstring& what) = 0;
};

enum class PathKind { kMissing, kFolder, kShortcut, kOtherFile };

// What a PATH argument names, and its full form (for the header caption
// and the folder column of a shortcut given directly).
PathKind InspectPath(const std::wstring& path, std::wstring& fullPath);

// Walks a folder PATH: every shortcut file in it, and with `recursive` in
// the folders below it, each folder once. The order is the file system's
// listing order (natively: by name, so that runs are repeatable), a folder's
// contents right where the folder is met. False when something could not be
// read (already reported through Warn).
bool WalkFolder(const std::wstring& folder, const WalkSettings& settings, WalkEvents& events);

// Reads one shortcut file given directly. False when it could not be read.
bool ReadShortcut(const std::wstring& path, const WalkSettings& settings, FoundShortcut& out, WalkEvents& events);

// True when writing the list to `output` would replace what it lists: the
// file `output` leads to (links followed) is a PATH given as a file, or a
// shortcut file in a PATH given as a folder (directly in it, or anywhere
// below it with `recursive`), also when reached through a link. Judged by
// identity (device and inode; volume and file id), not by spelling.
bool OutputReplacesInput(const std::wstring& output, const std::vector<std::wstring>& paths, bool recursive);

// Output to a file that is replaced only once the new content is complete.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(std::string_view bytes) = 0;
  virtual bool Rewind() = 0;
  // Puts the new file in place; false (and nothing replaced) on failure.
  virtual bool Commit() = 0;
  // False for a device or pipe, written as the bytes come: there Rewind
  // cannot take back what is out.
  virtual bool Rewindable() const { return true; }
};
// Null with `error` set when no temporary file can be made beside `path`.
std::unique_ptr<OutputFile> CreateOutputFile(const std::wstring& path, std::wstring& error);

// Standard streams. Text for stderr is converted for the console.
bool WriteStdout(std::string_view bytes);
void WriteStderr(const std::wstring& text);
bool StderrIsTerminal();

}  // namespace vorpa::cli
