#pragma once
// Scripting the virtual SwitchUnit: a line-oriented command language, served on the named pipe
// "\\.\pipe\qxvs.<session>.control" and usable in-process through ExecuteCommand.
//
//   [@SLOT] COMMAND [ARGS]        SLOT defaults to 0; numbers are decimal, ids and bytes hex
//
//   add VID PID [REV] [unopenable|zerodetail] [unplugged]   -> "ok SLOT"
//   plug | unplug
//   count N               input report [00, N low, N high] from now on (N: -32768..65535)
//   raw [XX ...]          input report of exactly these bytes (0 to 64; short ones too)
//   rate R                input reports per second (0: only on "send")
//   send                  one input report now
//   log                   "ok N" then one line per output report: "QPC XX XX ..."
//   clear                 forget the output reports
//   wait-reports N [MS]   wait (default 5000 ms) until N output reports since the last clear
//   status                "ok plugged=1 open=3 opens=9 outlets=0x1e reports=2 reads=5 rate=2 report=00 70 01"
//   list                  one status line per slot, each starting "SLOT VID:PID:REV kind"
//   freq                  "ok F": QueryPerformanceCounter ticks per second
//   quit                  ends the serving vswitch.exe
//
// Every answer starts with "ok" or "error".

#include <atomic>
#include <string>
#include <thread>

#include "tools/vswitch/virtual_switch.h"

namespace qx::vswitch {

// Runs one command line against `sw`. Sets *quit for "quit" (when quit is given).
std::string ExecuteCommand(VirtualSwitch& sw, const std::string& line, bool* quit = nullptr);

std::string ControlPipePath(const std::string& session);

// Serves the control pipe on a thread of its own, one client at a time.
class ControlServer {
 public:
  explicit ControlServer(VirtualSwitch& sw);
  ~ControlServer();
  bool Start();
  void Stop();
  // Set when a client sent "quit".
  bool QuitRequested() const { return quit_.load(); }
  // Signalled on "quit" (a manual-reset event), for a window loop to wait on; may be null.
  void* QuitEvent() const { return quit_event_; }

 private:
  void Serve();
  VirtualSwitch& sw_;
  std::string path_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> quit_{false};
  void* quit_event_ = nullptr;
};

// Sends one command to a serving vswitch.exe; waits up to wait_ms for the server to appear.
// Returns the answer, or "error ..." when it cannot be reached.
std::string SendControlCommand(const std::string& session, const std::string& line, int wait_ms = 5000);

}  // namespace qx::vswitch
