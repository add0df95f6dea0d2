// The history's files on Windows, through the wide API. A reason is one of the program's own short
// Russian texts for the failures a user can do something about, else the system's message.
#include <windows.h>

#include <algorithm>
#include <string>

#include "history/history_files.h"
#include "history/minute_record.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/text.h"

namespace qx {

namespace {

// "нет доступа к папке", "файл открыт другой программой", "диск заполнен", "папка не найдена",
// "диск защищён от записи", "ошибка ".
constexpr char kAccessDenied[] = "\xED\xE5\xF2 \xE4\xEE\xF1\xF2\xF3\xEF\xE0 \xEA \xEF\xE0\xEF\xEA\xE5";
constexpr char kFileInUse[] =
    "\xF4\xE0\xE9\xEB \xEE\xF2\xEA\xF0\xFB\xF2 \xE4\xF0\xF3\xE3\xEE\xE9 "
    "\xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xEE\xE9";
constexpr char kDiskFull[] = "\xE4\xE8\xF1\xEA \xE7\xE0\xEF\xEE\xEB\xED\xE5\xED";
constexpr char kFolderMissing[] = "\xEF\xE0\xEF\xEA\xE0 \xED\xE5 \xED\xE0\xE9\xE4\xE5\xED\xE0";
constexpr char kWriteProtected[] = "\xE4\xE8\xF1\xEA \xE7\xE0\xF9\xE8\xF9\xB8\xED \xEE\xF2 \xE7\xE0\xEF\xE8\xF1\xE8";
constexpr char kErrorNumber[] = "\xEE\xF8\xE8\xE1\xEA\xE0 ";

std::string ReasonText(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
      return kAccessDenied;
    case ERROR_SHARING_VIOLATION:  // a spreadsheet holds the month file open
    case ERROR_LOCK_VIOLATION:
      return kFileInUse;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return kDiskFull;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_DEV_NOT_EXIST:
      return kFolderMissing;
    case ERROR_WRITE_PROTECT:
      return kWriteProtected;
    default:
      break;
  }
  wchar_t* message = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::string text;
  if (length > 0 && message) {
    std::wstring_view wide(message, length);
    while (!wide.empty() &&
           (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ' || wide.back() == L'.')) {
      wide.remove_suffix(1);
    }
    text = NarrowText(wide);
  }
  if (message) LocalFree(message);
  return text.empty() ? Concatenate(kErrorNumber, DecimalText(error)) : text;
}

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// The file's size and its last byte ('\n' for an empty file). False when they cannot be read.
bool ReadFileEnd(HANDLE file, std::uint64_t& size, char& last) {
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(file, &length)) return false;
  size = static_cast<std::uint64_t>(length.QuadPart);
  if (size == 0) return true;
  LARGE_INTEGER at{};
  at.QuadPart = length.QuadPart - 1;
  DWORD got = 0;
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ReadFile(file, &last, 1, &got, nullptr) && got == 1;
}

}  // namespace

std::string HistoryPath(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string path = folder;
  if (path.back() != '\\' && path.back() != '/') path += '\\';
  path += name;
  return path;
}

bool MakeHistoryFolder(const std::string& folder, std::string& problem) {
  if (folder.empty()) return true;
  if (CreateDirectoryW(WidenText(folder).c_str(), nullptr)) return true;
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS) return true;
  problem = ReasonText(error);
  return false;
}

bool AppendHistoryLine(const std::string& path, std::string_view header, std::string_view line, std::string& problem) {
  // Appending access alone for writing: every write lands at the file's end, whoever else writes
  // it. Reading access for the last byte only.
  FileHandle file(CreateFileW(WidenText(path).c_str(), FILE_READ_DATA | FILE_APPEND_DATA | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    problem = ReasonText(GetLastError());
    return false;
  }
  std::uint64_t size = 0;
  char last = '\n';
  if (!ReadFileEnd(file.get(), size, last)) {
    problem = ReasonText(GetLastError());
    return false;
  }
  const std::string bytes = AppendedBytes(size, last, header, line);
  DWORD written = 0;
  if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size()) {
    problem = ReasonText(GetLastError());
    return false;
  }
  return true;
}

std::vector<std::string> ListHistoryFolder(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(WidenText(HistoryPath(folder, "*")).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(NarrowText(found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

bool RemoveHistoryFile(const std::string& path) {
  return DeleteFileW(WidenText(path).c_str()) != 0;
}

bool ReadHistoryFile(const std::string& path, std::uint64_t limit,
                     const std::function<bool(std::string_view piece)>& piece) {
  FileHandle file(CreateFileW(WidenText(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return false;
  std::string buffer(64 * 1024, '\0');
  std::uint64_t total = 0;
  while (total < limit) {
    const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(buffer.size(), limit - total));
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer.data(), want, &got, nullptr) || got == 0) break;
    total += got;
    if (!piece(std::string_view(buffer.data(), got))) break;
  }
  return true;
}

}  // namespace qx
