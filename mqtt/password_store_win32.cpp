#include "mqtt/password_store.h"

#include <windows.h>
// after <windows.h>, whose types it uses
#include <wincrypt.h>

#include <memory>

namespace qx {
namespace {

// Mixed into every blob, so a blob made by another program for the same user does not decrypt as
// ours, and ours does not decrypt in a program that calls CryptUnprotectData without it.
constexpr char kEntropy[] = "Quellarotix MQTT password v1";

DATA_BLOB EntropyBlob() {
  return DATA_BLOB{sizeof kEntropy - 1, reinterpret_cast<BYTE*>(const_cast<char*>(kEntropy))};
}

struct LocalFreer {
  void operator()(BYTE* data) const { LocalFree(data); }
};
using LocalBytes = std::unique_ptr<BYTE, LocalFreer>;

std::string Base64Of(const BYTE* data, DWORD size) {
  constexpr DWORD kFlags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
  DWORD length = 0;
  if (!CryptBinaryToStringA(data, size, kFlags, nullptr, &length) || length == 0) return {};
  std::string text(length, '\0');
  if (!CryptBinaryToStringA(data, size, kFlags, text.data(), &length)) return {};
  text.resize(length);  // the count written, without the terminating zero
  return text;
}

std::optional<std::string> BytesOfBase64(std::string_view text) {
  // Strict: no headers, no blanks, no line breaks; the file's value is one word.
  for (const char c : text) {
    const bool valid =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' || c == '=';
    if (!valid) return std::nullopt;
  }
  if (text.empty() || text.size() % 4 != 0) return std::nullopt;
  DWORD size = 0;
  const auto length = static_cast<DWORD>(text.size());
  if (!CryptStringToBinaryA(text.data(), length, CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr)) {
    return std::nullopt;
  }
  std::string bytes(size, '\0');
  if (!CryptStringToBinaryA(text.data(), length, CRYPT_STRING_BASE64, reinterpret_cast<BYTE*>(bytes.data()), &size,
                            nullptr, nullptr)) {
    return std::nullopt;
  }
  bytes.resize(size);
  return bytes;
}

}  // namespace

std::string ProtectMqttPassword(std::string_view utf8) {
  DATA_BLOB clear{static_cast<DWORD>(utf8.size()), reinterpret_cast<BYTE*>(const_cast<char*>(utf8.data()))};
  DATA_BLOB entropy = EntropyBlob();
  DATA_BLOB blob{};
  if (!CryptProtectData(&clear, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &blob)) return {};
  const LocalBytes owned(blob.pbData);
  return Base64Of(blob.pbData, blob.cbData);
}

std::optional<std::string> UnprotectMqttPassword(std::string_view base64) {
  std::optional<std::string> bytes = BytesOfBase64(base64);
  if (!bytes) return std::nullopt;
  DATA_BLOB blob{static_cast<DWORD>(bytes->size()), reinterpret_cast<BYTE*>(bytes->data())};
  DATA_BLOB entropy = EntropyBlob();
  DATA_BLOB clear{};
  if (!CryptUnprotectData(&blob, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &clear)) {
    return std::nullopt;
  }
  const LocalBytes owned(clear.pbData);
  std::string password(reinterpret_cast<const char*>(clear.pbData), clear.cbData);
  SecureZeroMemory(clear.pbData, clear.cbData);
  return password;
}

}  // namespace qx
