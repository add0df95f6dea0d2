#include "mqtt/mqtt_names.h"

#include <array>

#include "control/reply.h"
#include "control/request.h"

namespace qx {
namespace {

bool IsNodeCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

char LowerCharacter(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The length of the UTF-8 sequence a lead byte opens; 1 for a stray byte.
std::size_t SequenceLength(char lead) {
  const auto byte = static_cast<unsigned char>(lead);
  if (byte >= 0xF0 && byte <= 0xF4) return 4;
  if (byte >= 0xE0) return byte <= 0xEF ? 3 : 1;
  if (byte >= 0xC2) return 2;
  return 1;
}

// The Windows-1251 byte whose UTF-8 form is `sequence`, looked for in the one table the program
// has of that code page, so the two directions cannot disagree. 0x98 has no character: its
// U+FFFD must not come back as 0x98.
std::optional<char> HighHalfByte(std::string_view sequence) {
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    const char c = static_cast<char>(byte);
    if (byte != 0x98 && Cp1251ToUtf8(std::string_view(&c, 1)) == sequence) return c;
  }
  return std::nullopt;
}

}  // namespace

std::uint32_t Fnv1a32(std::string_view bytes) {
  std::uint32_t hash = 0x811C9DC5u;
  for (char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x01000193u;
  }
  return hash;
}

std::string NodeIdForHostName(std::string_view host_name_utf8) {
  std::string node;
  bool turned = host_name_utf8.empty();
  for (std::size_t i = 0; i < host_name_utf8.size();) {
    const char c = LowerCharacter(host_name_utf8[i]);
    std::size_t length = SequenceLength(host_name_utf8[i]);
    // A truncated or malformed sequence: its lead byte alone is the character.
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= host_name_utf8.size() || !IsContinuationByte(host_name_utf8[i + k])) {
        length = 1;
        break;
      }
    }
    if (IsNodeCharacter(c)) {
      node += c;
    } else {
      node += '_';
      turned = true;
    }
    i += length;
  }
  if (turned) {
    static constexpr char kHex[] = "0123456789abcdef";
    const std::uint32_t hash = Fnv1a32(host_name_utf8);
    node += '_';
    for (int shift = 28; shift >= 0; shift -= 4) node += kHex[(hash >> shift) & 0xF];
  }
  return node;
}

std::optional<std::string> NormalizedNodeId(std::string_view text) {
  std::string node = LowerAscii(text);
  if (node.empty()) return std::nullopt;
  for (char c : node) {
    if (!IsNodeCharacter(c)) return std::nullopt;
  }
  return node;
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = LowerCharacter(c);
  return lower;
}

bool IsValidDiscoveryPrefix(std::string_view prefix) {
  if (prefix.empty() || prefix.front() == '/' || prefix.back() == '/') return false;
  if (prefix.find("//") != std::string_view::npos) return false;
  for (char c : prefix) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '+' || c == '#' || byte <= 0x20 || byte == 0x7F) return false;
  }
  return true;
}

bool IsValidServerHost(std::string_view host) {
  if (host.empty()) return false;
  for (char c : host) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || c == '[' || c == ']' || c == '/') return false;
  }
  return true;
}

std::optional<std::string> Utf8ToCp1251(std::string_view utf8) {
  if (!IsValidUtf8(utf8)) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t length = SequenceLength(utf8[i]);
    if (length == 1) {
      bytes += utf8[i++];
      continue;
    }
    const std::optional<char> byte = HighHalfByte(utf8.substr(i, length));
    if (!byte) return std::nullopt;
    bytes += *byte;
    i += length;
  }
  return bytes;
}

}  // namespace qx
