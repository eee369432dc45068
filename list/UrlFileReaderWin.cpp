// The shortcut reader on Windows.
#include <windows.h>
#include <commdlg.h>

#include <string>

#include "common/Text.h"
#include "common/WinFile.h"
#include "filefolder/LongPath.h"
#include "list/UrlFileReader.h"
#include "list/UrlFileReaderWin.h"

namespace vorpa {

HANDLE OpenShortcutForReading(const std::wstring& openPath) {
  return CreateFileW(openPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
}

void ReadOpenedShortcut(HANDLE file, bool keepBytes, std::string& buffer, ShortcutReading& reading) {
  // Whatever the name, a device or a pipe is never read: its read may wait
  // forever.
  if (GetFileType(file) != FILE_TYPE_DISK) {
    reading.problem = ShortcutProblem::kNotRegularFile;
    return;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0) size.QuadPart = 0;
  auto read = [&](char* dst, std::size_t max) { return ReadChunk(file, dst, max); };
  ReadShortcutStream(read, static_cast<unsigned long long>(size.QuadPart), SystemAnsiCodePage(), keepBytes, buffer,
                     reading);
  if (!reading.ok()) reading.error = GetLastError();
}

ShortcutReading ReadShortcutFile(const std::wstring& path, bool keepBytes) {
  ShortcutReading reading;
  if (path.empty() || path.find(L'\0') != std::wstring::npos) {
    reading.problem = ShortcutProblem::kMissing;
    reading.error = ERROR_FILE_NOT_FOUND;
    return reading;
  }
  // Through the extended-length form: a name such as COM1.url or nul.url is
  // then the file of that name, never the device.
  const std::wstring openPath = OpenablePath(path);
  const UniqueHandle file(OpenShortcutForReading(openPath));
  if (!file.ok()) {
    const DWORD error = GetLastError();
    reading.error = error;
    const DWORD attributes = GetFileAttributesW(openPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      reading.problem = ShortcutProblem::kFolder;
    } else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME) {
      reading.problem = ShortcutProblem::kMissing;
    } else {
      reading.problem = ShortcutProblem::kUnreadable;
    }
    return reading;
  }
  std::string buffer;
  ReadOpenedShortcut(file.get(), keepBytes, buffer, reading);
  return reading;
}

}  // namespace vorpa
