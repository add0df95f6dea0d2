#pragma once
// What the history needs of the file system, one file per platform (history_files_win32.cpp,
// history_files_posix.cpp). Paths are the program's Windows-1251 bytes; on Windows they go
// through the wide API, so a folder with a Russian name works on a Windows of any language.
// Failures come back as a reason text (Windows-1251), never as an exception.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// `folder` joined with `name` by the platform's separator; an empty folder gives `name` alone.
[[nodiscard]] std::string HistoryPath(const std::string& folder, std::string_view name);

// Makes the folder if it is missing (not its parents). True when it exists afterwards.
bool MakeHistoryFolder(const std::string& folder, std::string& problem);

// Opens the file for appending (creating it) and writes what AppendedBytes gives for its size and
// last byte -- `header` (its line break included) into an empty file, a line break after a torn
// last line, then `line` -- in one write, and closes it again, so nothing stays open on a disk
// that may be removed. False with the reason when any step fails.
bool AppendHistoryLine(const std::string& path, std::string_view header, std::string_view line, std::string& problem);

// The names (not paths) of the plain files in `folder`.
[[nodiscard]] std::vector<std::string> ListHistoryFolder(const std::string& folder);

bool RemoveHistoryFile(const std::string& path);

// Reads the file from its start in pieces, handing each to `piece`, until the end, `limit` bytes,
// or `piece` returns false. False when the file cannot be opened.
bool ReadHistoryFile(const std::string& path, std::uint64_t limit,
                     const std::function<bool(std::string_view piece)>& piece);

}  // namespace qx
