#pragma once
// What both platforms' file storage agree on about the temporary files of a save.

#include <cstddef>
#include <string_view>

namespace qx {

// A save writes "<file>.<process id>.tmp" beside the file and renames it over the file. A save
// killed half way leaves its temporary file behind, and they would pile up; one whose process has
// ended belongs to nobody, so the next save removes it. Returns the process id in `name`, a
// temporary of `file`, or 0 for any other name.
template <class Char>
unsigned long TemporaryOwner(std::basic_string_view<Char> file, std::basic_string_view<Char> name) {
  constexpr Char kSuffix[] = {'.', 't', 'm', 'p'};
  constexpr std::size_t kSuffixLength = 4;
  if (name.size() <= file.size() + 1 + kSuffixLength || name.substr(0, file.size()) != file ||
      name[file.size()] != Char('.') ||
      name.substr(name.size() - kSuffixLength) != std::basic_string_view<Char>(kSuffix, kSuffixLength)) {
    return 0;
  }
  const auto digits = name.substr(file.size() + 1, name.size() - file.size() - 1 - kSuffixLength);
  if (digits.size() > 9) return 0;
  unsigned long id = 0;
  for (Char c : digits) {
    if (c < Char('0') || c > Char('9')) return 0;
    id = id * 10 + static_cast<unsigned long>(c - Char('0'));
  }
  return id;
}

}  // namespace qx
