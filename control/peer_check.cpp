#include "control/peer_check.h"

#include <string_view>

namespace qx {
namespace {

constexpr std::wstring_view kProgramFileName = L"quellarotix.exe";

// Revision 1, a count of sub-authorities no larger than the system allows, and exactly the bytes
// that count calls for: 8 of revision, count and authority, then 4 a sub-authority.
bool IsWellFormedSid(const SidBytes& sid) {
  return sid.size() >= 8 && sid[0] == 1 && sid[1] <= 15 && sid.size() == 8 + 4 * std::size_t{sid[1]};
}

bool IsProgramImage(std::wstring_view path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  const std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
  if (name.size() != kProgramFileName.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const wchar_t c = name[i] >= L'A' && name[i] <= L'Z' ? static_cast<wchar_t>(name[i] - L'A' + L'a') : name[i];
    if (c != kProgramFileName[i]) return false;
  }
  return true;
}

}  // namespace

bool IsSameUser(const SidBytes& ours, const SidBytes& theirs) {
  return IsWellFormedSid(ours) && ours == theirs;
}

bool IsTrustedChannelServer(const SidBytes& ours, const ChannelServerFacts& server) {
  if (!IsProgramImage(server.image_path)) return false;
  if (!server.pipe_owner.empty() && !IsSameUser(ours, server.pipe_owner)) return false;
  if (!server.token_user.empty()) return IsSameUser(ours, server.token_user);
  return IsSameUser(ours, server.pipe_owner);
}

}  // namespace qx
