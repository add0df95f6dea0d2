#pragma once
// Who is at the other end of the console channel. Each end learns the other's user from the
// system (a process's token, the pipe object's owner) as the bytes of a security identifier; the
// judgement over those bytes is here, as plain values, so it is tested without a second account.

#include <string>
#include <vector>

namespace qx {

// A security identifier as the system gives it; empty when it could not be learned.
using SidBytes = std::vector<unsigned char>;

// True when both are well-formed security identifiers and the same one. An empty or malformed one
// is nobody's: it matches nothing, itself included.
[[nodiscard]] bool IsSameUser(const SidBytes& ours, const SidBytes& theirs);

// What the companion learned of the process that serves the pipe, each part empty where the system
// did not tell.
struct ChannelServerFacts {
  std::wstring image_path;  // the full path of its image
  SidBytes token_user;      // the user of its token
  SidBytes pipe_owner;      // the owner of the pipe object
};

// Whether the companion may speak to that server: a Quellarotix.exe (wherever it lies, in any
// letter case) running as our user. Its token's user says who that is. A program started elevated
// may refuse a companion that is not its token; then the pipe object's owner speaks for it: the
// program makes the pipe with its user as owner, which no other ordinary account can give an
// object. An owner that is someone else's refuses the server in any case: the name was someone
// else's first, and the program only joined it.
[[nodiscard]] bool IsTrustedChannelServer(const SidBytes& ours, const ChannelServerFacts& server);

}  // namespace qx
