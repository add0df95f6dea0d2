#pragma once
// The MQTT broker of the Windows tests, seen from a test running under Wine, and the host's own
// programs run from such a test.
//
// The broker is Debian's mosquitto, started on the host by tests/support/mqtt_broker.py as a CTest
// fixture (qx_use_mqtt_broker in cmake/QxTesting.cmake), which puts the folder it describes itself
// in into QX_MQTT_BROKER as a host path. Wine shows the host's root as drive Z:, so the test reads
// Z:<folder>/broker.txt.
//
// The checking client must not be our library: it is Debian's mosquitto_sub/mosquitto_pub, run on
// the host from the test. Wine's CreateProcess starts a host (ELF) program when asked to, but
// gives back no process handle to wait on and does not connect the program's standard handles to
// the caller's pipes. So RunHostCommand runs /bin/sh with a command line that sends the command's
// output to a file in the broker's folder and then writes its exit status to a second file, and
// waits for that file to appear. The command is a shell command line: use single quotes in it,
// never double quotes or backslashes (they belong to the Windows command line around it).

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace qx::test {

struct MqttBroker {
  std::string folder;  // host path
  int port = 0;
  std::string user, password;                  // the account the code under test connects with
  std::string checker_user, checker_password;  // the checking client's
  std::string script;                          // host path of mqtt_broker.py
};

// False when the test runs without the fixture or the fixture's file is incomplete.
inline bool ReadMqttBroker(MqttBroker& broker) {
  const char* folder = std::getenv("QX_MQTT_BROKER");
  if (folder == nullptr || *folder != '/') return false;
  std::ifstream file(std::string("Z:") + folder + "/broker.txt");
  std::map<std::string, std::string> values;
  std::string key, value;
  while (file >> key >> value) values[key] = value;
  broker.folder = folder;
  broker.port = std::atoi(values["port"].c_str());
  broker.user = values["user"];
  broker.password = values["password"];
  broker.checker_user = values["checker_user"];
  broker.checker_password = values["checker_password"];
  broker.script = values["script"];
  return broker.port > 0 && !broker.user.empty() && !broker.checker_user.empty();
}

// "-h 127.0.0.1 -p PORT -u USER -P PASSWORD": where a mosquitto_sub or mosquitto_pub of the
// checking client connects.
inline std::string CheckerConnection(const MqttBroker& broker) {
  return "-h 127.0.0.1 -p " + std::to_string(broker.port) + " -u " + broker.checker_user + " -P " +
         broker.checker_password;
}

struct HostCommandResult {
  bool finished = false;  // false: not started, or still running at the deadline
  int exit_code = -1;
  std::string output;  // standard output and standard error together
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Runs `command` with the host's /bin/sh, in the broker's folder, and waits for it to end.
inline HostCommandResult RunHostCommand(const MqttBroker& broker, const std::string& command, int timeout_ms) {
  static std::atomic<int> counter{0};
  const std::string name = "host-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  const std::string host_base = broker.folder + "/" + name;
  const std::string script = "cd " + broker.folder + " && { " + command + "; } >" + name + ".out 2>&1; echo $? >" +
                             name + ".rc.part; mv " + name + ".rc.part " + name + ".rc";
  std::string command_line = "Z:\\bin\\sh -c \"" + script + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  HostCommandResult result;
  if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return result;
  }
  // Wine starts a host program without a Windows process: no process handle comes back, and the
  // thread handle's field holds whatever its stack held, at times the value of one of this
  // process's own handles (a pipe of the virtual switch, a lock's event). Closed, that handle
  // would be gone under its owner; the pair is real only with a process handle.
  if (process.hProcess != nullptr) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  const std::string status_file = "Z:" + host_base + ".rc";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (GetFileAttributesA(status_file.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (std::chrono::steady_clock::now() > deadline) return result;
    Sleep(20);
  }
  result.finished = true;
  result.exit_code = std::atoi(ReadWholeFile(status_file).c_str());
  result.output = ReadWholeFile("Z:" + host_base + ".out");
  DeleteFileA(status_file.c_str());
  DeleteFileA(("Z:" + host_base + ".out").c_str());
  return result;
}

// Stops the broker and starts it again on the same port with the same accounts; it keeps no
// messages across (no persistence), as a broker that lost its store.
inline bool RestartMqttBroker(const MqttBroker& broker) {
  const HostCommandResult result =
      RunHostCommand(broker, "python3 '" + broker.script + "' restart '" + broker.folder + "'", 20000);
  return result.finished && result.exit_code == 0;
}

}  // namespace qx::test
