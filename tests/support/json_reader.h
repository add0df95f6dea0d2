#pragma once
// A small JSON reader for tests that check what the program writes for scripts: the whole
// grammar (objects, arrays, strings with every escape, numbers, true/false/null), strictly, so a
// malformed document fails the test instead of being half read.

#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx::test {

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = Kind::kNull;
  bool boolean = false;
  double number = 0;
  std::string text;  // a string's UTF-8, or a number's digits as written
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  const JsonValue& operator[](const std::string& key) const {
    static const JsonValue missing;
    auto it = members.find(key);
    return it == members.end() ? missing : it->second;
  }
  const JsonValue& operator[](std::size_t index) const {
    static const JsonValue missing;
    return index < items.size() ? items[index] : missing;
  }
  bool Has(const std::string& key) const { return members.count(key) != 0; }
};

class JsonReader {
 public:
  // The document's value, or nothing if `text` is not exactly one JSON value (spaces around it
  // allowed).
  static std::optional<JsonValue> Read(std::string_view text) {
    JsonReader reader(text);
    JsonValue value;
    if (!reader.Value(value, 0)) return std::nullopt;
    reader.Spaces();
    if (reader.at_ != text.size()) return std::nullopt;
    return value;
  }

 private:
  explicit JsonReader(std::string_view text) : text_(text) {}

  void Spaces() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }
  bool Take(char c) {
    Spaces();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  static void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  bool Hex4(unsigned& code) {
    if (at_ + 4 > text_.size()) return false;
    code = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      code <<= 4;
      if (c >= '0' && c <= '9')
        code |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        code |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        code |= static_cast<unsigned>(c - 'A' + 10);
      else
        return false;
    }
    return true;
  }

  bool String(std::string& out) {
    if (!Take('"')) return false;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char e = text_[at_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          unsigned code = 0;
          if (!Hex4(code)) return false;
          if (code >= 0xD800 && code <= 0xDBFF) {
            unsigned low = 0;
            if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          } else if (code >= 0xDC00 && code <= 0xDFFF) {
            return false;
          }
          AppendUtf8(out, code);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }

  bool Number(JsonValue& value) {
    const std::size_t start = at_;
    auto digits = [&] {
      const std::size_t from = at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      return at_ > from;
    };
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    if (at_ < text_.size() && text_[at_] == '0') {
      ++at_;
    } else if (!digits()) {
      return false;
    }
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      if (!digits()) return false;
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!digits()) return false;
    }
    value.kind = JsonValue::Kind::kNumber;
    value.text = std::string(text_.substr(start, at_ - start));
    value.number = std::strtod(value.text.c_str(), nullptr);
    return true;
  }

  bool Value(JsonValue& value, int depth) {
    if (depth > 64) return false;
    Spaces();
    if (at_ >= text_.size()) return false;
    const char c = text_[at_];
    if (c == '{') {
      ++at_;
      value.kind = JsonValue::Kind::kObject;
      if (Take('}')) return true;
      do {
        std::string key;
        if (!String(key) || !Take(':')) return false;
        JsonValue member;
        if (!Value(member, depth + 1)) return false;
        if (!value.members.emplace(key, std::move(member)).second) return false;  // a key twice
      } while (Take(','));
      return Take('}');
    }
    if (c == '[') {
      ++at_;
      value.kind = JsonValue::Kind::kArray;
      if (Take(']')) return true;
      do {
        JsonValue item;
        if (!Value(item, depth + 1)) return false;
        value.items.push_back(std::move(item));
      } while (Take(','));
      return Take(']');
    }
    if (c == '"') {
      value.kind = JsonValue::Kind::kString;
      return String(value.text);
    }
    if (Word("true")) {
      value.kind = JsonValue::Kind::kBool;
      value.boolean = true;
      return true;
    }
    if (Word("false")) {
      value.kind = JsonValue::Kind::kBool;
      return true;
    }
    if (Word("null")) return true;
    return Number(value);
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace qx::test
