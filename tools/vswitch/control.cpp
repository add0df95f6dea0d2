#include "tools/vswitch/control.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace qx::vswitch {

namespace {

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

bool ParseLong(const std::string& text, int base, long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, base);
  if (*end != '\0') return false;
  *value = v;
  return true;
}

bool ParseDouble(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0') return false;
  *value = v;
  return true;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char b[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(b, sizeof b, i ? " %02x" : "%02x", bytes[i]);
    text += b;
  }
  return text;
}

const char* KindName(InterfaceKind kind) {
  switch (kind) {
    case InterfaceKind::kUnopenable:
      return "unopenable";
    case InterfaceKind::kZeroDetailSize:
      return "zerodetail";
    default:
      return "device";
  }
}

std::string StatusText(const DeviceStatus& s) {
  char text[256];
  std::snprintf(text, sizeof text,
                "plugged=%d open=%d opens=%lld outlets=0x%02x reports=%lld reads=%lld rate=%g report=",
                s.plugged ? 1 : 0, s.open_handles, static_cast<long long>(s.opens), s.outlets < 0 ? 0 : s.outlets,
                static_cast<long long>(s.output_reports), static_cast<long long>(s.reports_read), s.rate);
  return text + Hex(s.input_report);
}

}  // namespace

std::string ExecuteCommand(VirtualSwitch& sw, const std::string& line, bool* quit) {
  std::vector<std::string> w = Words(line);
  int slot = 0;
  if (!w.empty() && w[0].size() > 1 && w[0][0] == '@') {
    long v;
    if (!ParseLong(w[0].substr(1), 10, &v)) return "error bad slot";
    slot = static_cast<int>(v);
    w.erase(w.begin());
  }
  if (w.empty()) return "error empty command";
  const std::string& c = w[0];
  const bool known_slot = slot >= 0 && slot < sw.DeviceCount();
  auto need_slot = [&]() {
    return known_slot ? std::string() : std::string("error no device in slot ") + std::to_string(slot);
  };

  if (c == "add") {
    DeviceSpec spec;
    long v;
    if (w.size() < 3 || !ParseLong(w[1], 16, &v))
      return "error usage: add VID PID [REV] [unopenable|zerodetail] [unplugged]";
    spec.vendor = static_cast<std::uint16_t>(v);
    if (!ParseLong(w[2], 16, &v)) return "error bad PID";
    spec.product = static_cast<std::uint16_t>(v);
    for (std::size_t i = 3; i < w.size(); ++i) {
      if (w[i] == "unopenable") {
        spec.kind = InterfaceKind::kUnopenable;
      } else if (w[i] == "zerodetail") {
        spec.kind = InterfaceKind::kZeroDetailSize;
      } else if (w[i] == "unplugged") {
        spec.plugged = false;
      } else if (i == 3 && ParseLong(w[i], 16, &v)) {
        spec.release = static_cast<std::uint16_t>(v);
      } else {
        return "error bad word " + w[i];
      }
    }
    const int added = sw.AddDevice(spec);
    return added < 0 ? "error table full" : "ok " + std::to_string(added);
  }
  if (c == "list") {
    std::string out = "ok " + std::to_string(sw.DeviceCount());
    for (int i = 0; i < sw.DeviceCount(); ++i) {
      const DeviceStatus s = sw.Status(i);
      char head[64];
      std::snprintf(head, sizeof head, "\n%d %04x:%04x:%04x %s ", i, s.spec.vendor, s.spec.product, s.spec.release,
                    KindName(s.spec.kind));
      out += head + StatusText(s);
    }
    return out;
  }
  if (c == "freq") return "ok " + std::to_string(PerformanceFrequency());
  if (c == "sync") {
    sw.Sync();
    return "ok";
  }
  if (c == "quit") {
    if (quit) *quit = true;
    return "ok";
  }
  if (std::string e = need_slot(); !e.empty()) return e;
  if (c == "plug") return sw.Plug(slot) ? "ok" : "error";
  if (c == "unplug") return sw.Unplug(slot) ? "ok" : "error";
  if (c == "count") {
    long v;
    if (w.size() != 2 || !ParseLong(w[1], 10, &v) || v < -32768 || v > 65535) return "error usage: count N";
    return sw.SetCount(slot, static_cast<int>(v)) ? "ok" : "error";
  }
  if (c == "raw") {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 1; i < w.size(); ++i) {
      long v;
      if (!ParseLong(w[i], 16, &v) || v < 0 || v > 255) return "error bad byte " + w[i];
      bytes.push_back(static_cast<std::uint8_t>(v));
    }
    return sw.SetRawReport(slot, bytes) ? "ok" : "error at most 64 bytes";
  }
  if (c == "rate") {
    double r;
    if (w.size() != 2 || !ParseDouble(w[1], &r)) return "error usage: rate R";
    return sw.SetRate(slot, r) ? "ok" : "error rate 0..1000";
  }
  if (c == "send") return sw.SendInputReport(slot) ? "ok" : "error";
  if (c == "log") {
    const std::vector<OutputReport> log = sw.OutputReports(slot);
    std::string out = "ok " + std::to_string(log.size());
    for (const OutputReport& r : log) out += "\n" + std::to_string(r.qpc) + " " + Hex(r.bytes);
    return out;
  }
  if (c == "clear") {
    sw.ClearOutputReports(slot);
    return "ok";
  }
  if (c == "wait-reports") {
    long n, ms = 5000;
    if (w.size() < 2 || !ParseLong(w[1], 10, &n) || (w.size() > 2 && !ParseLong(w[2], 10, &ms)))
      return "error usage: wait-reports N [MS]";
    return sw.WaitForOutputReports(slot, static_cast<std::size_t>(n), static_cast<int>(ms)) ? "ok" : "error timeout";
  }
  if (c == "status") return "ok " + StatusText(sw.Status(slot));
  return "error unknown command " + c;
}

std::string ControlPipePath(const std::string& session) {
  return "\\\\.\\pipe\\qxvs." + session + ".control";
}

ControlServer::ControlServer(VirtualSwitch& sw) : sw_(sw), path_(ControlPipePath(sw.session())) {}

ControlServer::~ControlServer() {
  Stop();
  if (quit_event_) CloseHandle(quit_event_);
}

bool ControlServer::Start() {
  if (thread_.joinable()) return true;
  if (!quit_event_) quit_event_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  stop_ = false;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void ControlServer::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  // Wake a ConnectNamedPipe that is waiting for the next client.
  HANDLE poke = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (poke != INVALID_HANDLE_VALUE) CloseHandle(poke);
  thread_.join();
}

void ControlServer::Serve() {
  while (!stop_) {
    HANDLE pipe =
        CreateNamedPipeA(path_.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                         PIPE_UNLIMITED_INSTANCES, 1 << 16, 1 << 16, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
      Sleep(50);
      continue;
    }
    if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
      CloseHandle(pipe);
      continue;
    }
    std::vector<char> buffer(1 << 16);
    while (!stop_) {
      DWORD got = 0;
      if (!ReadFile(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) break;
      bool quit = false;
      const std::string answer = ExecuteCommand(sw_, std::string(buffer.data(), got), &quit);
      // The quit is recorded before it is answered: a client that has the answer may rely on it.
      if (quit) {
        quit_ = true;
        SetEvent(quit_event_);
      }
      DWORD put = 0;
      WriteFile(pipe, answer.data(), static_cast<DWORD>(answer.size()), &put, nullptr);
    }
    FlushFileBuffers(pipe);
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
  }
}

std::string SendControlCommand(const std::string& session, const std::string& line, int wait_ms) {
  const std::string path = ControlPipePath(session);
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(wait_ms < 0 ? 0 : wait_ms);
  HANDLE pipe = INVALID_HANDLE_VALUE;
  for (;;) {
    pipe = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe != INVALID_HANDLE_VALUE) break;
    if (GetTickCount64() >= deadline) return "error no vswitch serves session " + session;
    if (GetLastError() == ERROR_PIPE_BUSY) {
      WaitNamedPipeA(path.c_str(), 100);
    } else {
      Sleep(50);
    }
  }
  DWORD mode = PIPE_READMODE_MESSAGE;
  SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);
  DWORD put = 0;
  std::string answer;
  if (WriteFile(pipe, line.data(), static_cast<DWORD>(line.size()), &put, nullptr)) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
      DWORD got = 0;
      const BOOL ok = ReadFile(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr);
      answer.append(buffer.data(), got);
      if (ok || GetLastError() != ERROR_MORE_DATA) break;
    }
  }
  CloseHandle(pipe);
  return answer.empty() ? "error no answer" : answer;
}

}  // namespace qx::vswitch
