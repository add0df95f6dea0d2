#include "control/process_identity.h"

#include <aclapi.h>

#include <vector>

namespace qx {
namespace {

SidBytes SidOf(PSID sid) {
  if (!sid || !IsValidSid(sid)) return {};
  const auto* bytes = static_cast<const unsigned char*>(sid);
  return SidBytes(bytes, bytes + GetLengthSid(sid));
}

}  // namespace

UniqueHandle OpenProcessToQuery(DWORD process_id) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, process_id);
  if (!process) process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
  return UniqueHandle(process);
}

SidBytes ProcessUser(HANDLE process) {
  HANDLE raw_token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &raw_token)) return {};
  UniqueHandle token(raw_token);
  DWORD size = 0;
  (void)GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<BYTE> user(size);
  if (!GetTokenInformation(token.get(), TokenUser, user.data(), size, &size)) return {};
  return SidOf(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid);
}

std::wstring ProcessImagePath(HANDLE process) {
  std::wstring path(32768, L'\0');
  DWORD length = static_cast<DWORD>(path.size());
  if (!QueryFullProcessImageNameW(process, 0, path.data(), &length)) return {};
  path.resize(length);
  return path;
}

SidBytes ObjectOwner(HANDLE object) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    return {};
  }
  SidBytes sid = SidOf(owner);
  LocalFree(descriptor);
  return sid;
}

}  // namespace qx
