#pragma once
// The names the bridge puts into topics: the node id (one per PC, the last level of every topic
// and of every unique id), the discovery prefix and the server's host. They are checked here once,
// whether they come from the settings file, the window or a script, so a topic is never built
// from a name that would change its meaning (a "+" or "#" is a wildcard to a subscriber).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// FNV-1a, 32 bits: offset basis 0x811C9DC5, prime 0x01000193, over the bytes as given. Stable
// across builds and platforms, which a node id derived from it must be.
[[nodiscard]] std::uint32_t Fnv1a32(std::string_view bytes);

// The node id for a computer's DNS host name, given in UTF-8: ASCII letters lowered, every other
// character outside a-z0-9_- (a multi-byte UTF-8 character, or a stray byte, counts as one) turned
// into "_"; and if any had to be turned, "_" and the FNV-1a hash of the whole name as given, in 8
// lower-case hex digits, so "PC.home" and "pc_home" stay two nodes. An empty name gives "_"
// and the hash of nothing, never an empty node.
[[nodiscard]] std::string NodeIdForHostName(std::string_view host_name_utf8);

// A node id as a user typed it: upper-case ASCII letters lowered; nothing when it is empty or
// holds anything outside a-z0-9_-.
[[nodiscard]] std::optional<std::string> NormalizedNodeId(std::string_view text);

// A discovery prefix: one or more non-empty levels split by "/", no "+" or "#" (the wildcards), no
// control character or space (a topic level of spaces is legal but never what was meant).
[[nodiscard]] bool IsValidDiscoveryPrefix(std::string_view prefix);

// A server's host name or address without brackets or port: not empty, no space, control
// character, "[", "]" or "/". A ":" inside makes it an IPv6 address.
[[nodiscard]] bool IsValidServerHost(std::string_view host);

// ASCII letters lowered, every other byte as it is: option words and payloads compare with it.
[[nodiscard]] std::string LowerAscii(std::string_view text);

// UTF-8 text as Windows-1251 bytes, the settings file's code; nothing when it is not well-formed
// UTF-8 or holds a character the code page lacks.
[[nodiscard]] std::optional<std::string> Utf8ToCp1251(std::string_view utf8);

}  // namespace qx
