// The host's file system, for the tests and the fuzzer; names are used as the bytes they are.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "history/history_files.h"
#include "history/minute_record.h"

namespace qx {

std::string HistoryPath(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string path = folder;
  if (path.back() != '/') path += '/';
  path += name;
  return path;
}

bool MakeHistoryFolder(const std::string& folder, std::string& problem) {
  if (folder.empty()) return true;
  if (mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) return true;
  problem = std::strerror(errno);
  return false;
}

bool AppendHistoryLine(const std::string& path, std::string_view header, std::string_view line, std::string& problem) {
  const int file = open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (file < 0) {
    problem = std::strerror(errno);
    return false;
  }
  struct stat info {};
  char last = '\n';
  if (fstat(file, &info) != 0 || (info.st_size > 0 && pread(file, &last, 1, info.st_size - 1) != 1)) {
    problem = std::strerror(errno);
    close(file);
    return false;
  }
  const std::string bytes = AppendedBytes(static_cast<std::uint64_t>(info.st_size), last, header, line);
  const ssize_t written = write(file, bytes.data(), bytes.size());
  const int error = errno;
  close(file);
  if (written != static_cast<ssize_t>(bytes.size())) {
    problem = written < 0 ? std::strerror(error) : "short write";
    return false;
  }
  return true;
}

std::vector<std::string> ListHistoryFolder(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return names;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_type == DT_REG || entry->d_type == DT_UNKNOWN) names.emplace_back(entry->d_name);
  }
  closedir(dir);
  return names;
}

bool RemoveHistoryFile(const std::string& path) {
  return unlink(path.c_str()) == 0;
}

bool ReadHistoryFile(const std::string& path, std::uint64_t limit,
                     const std::function<bool(std::string_view piece)>& piece) {
  const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return false;
  char buffer[64 * 1024];
  std::uint64_t total = 0;
  while (total < limit) {
    const std::uint64_t want = std::min<std::uint64_t>(sizeof buffer, limit - total);
    const ssize_t got = read(file, buffer, want);
    if (got <= 0) break;
    total += static_cast<std::uint64_t>(got);
    if (!piece(std::string_view(buffer, static_cast<std::size_t>(got)))) break;
  }
  close(file);
  return true;
}

}  // namespace qx
