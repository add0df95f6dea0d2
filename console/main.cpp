// Quellarotix.com: the console companion. A console looks for "Quellarotix" as .com before .exe,
// so typing the program's name with a command runs this, which hands the command to the running
// program over its pipe, prints the answer and ends with an exit code a script can test. It never
// opens the device: that belongs to the running program, whose rules act on it.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "control/peer_check.h"
#include "control/pipe_name.h"
#include "control/pipe_transfer.h"
#include "control/process_identity.h"
#include "control/reply.h"
#include "control/request.h"
#include "qx_version.h"
#include "runtime/win32/unique_handles.h"

namespace qx {
namespace {

// From the first try to connect until the whole answer is in.
constexpr DWORD kAnswerWaitMs = 5000;
constexpr char kNoAnswer[] = "no answer from Quellarotix within 5 s\n";

constexpr char kUsage[] =
    "Usage: Quellarotix [command]\n"
    "\n"
    "Commands (letter case does not matter; N is an outlet number 1-4, several may follow):\n"
    "  status           the device, the temperature and each outlet as the window shows them\n"
    "  status --json    the same and the outlets' rules as one JSON object (UTF-8)\n"
    "  on N...          switch outlets on, as the tray menu does\n"
    "  off N...         switch outlets off\n"
    "  toggle N...      switch outlets over\n"
    "  temperature      the temperature as a bare number, e.g. 23.5\n"
    "  show             open the main window\n"
    "  quit             end Quellarotix as at the end of a Windows session (no box is shown)\n"
    "  mqtt             the link to an MQTT broker (Home Assistant): settings and state\n"
    "  mqtt connect HOST[:PORT] [--user NAME] [--password-stdin] [--prefix P] [--node N]\n"
    "                   switch the link on; omitted options keep their stored values, but a new\n"
    "                   server or user without --password-stdin clears the stored password.\n"
    "                   --password-stdin reads the password as one line from standard input\n"
    "  mqtt off         switch the link off\n"
    "  --help, --version\n"
    "Without a command, Quellarotix starts (or its window is shown, if it runs already).\n"
    "\n"
    "A time-of-day or thermostat rule may switch an outlet again at its next tick, as after a\n"
    "click in the tray menu.\n"
    "\n"
    "Exit codes:\n"
    "  0  done\n"
    "  1  an mqtt command's change holds, but the settings file could not be written\n"
    "  2  the request is wrong (unknown command, an outlet number outside 1-4, a bad mqtt option)\n"
    "  3  Quellarotix is not running, or is ending\n"
    "  4  no SwitchUnit connected (for temperature: no current reading)\n"
    "  5  no answer within 5 s\n";

// Text to a console goes in UTF-16 through the console itself, so it shows in any code page;
// redirected to a file or a pipe, it is written as the UTF-8 it is.
void Write(DWORD which, std::string_view utf8) {
  const HANDLE out = GetStdHandle(which);
  if (out == nullptr || out == INVALID_HANDLE_VALUE || utf8.empty()) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(out, &mode)) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

int Fail(int code, std::string_view message) {
  Write(STD_ERROR_HANDLE, message);
  if (code == kExitBadRequest) Write(STD_ERROR_HANDLE, std::string("\n") + kUsage);
  return code;
}

std::string Utf8(const wchar_t* wide) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string text(static_cast<std::size_t>(length - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
  return text;
}

// The longest password taken: its word, two hex digits a byte, must fit the request line.
constexpr std::size_t kMaxPasswordBytes = 1024;

// One line of `text` without its line break.
template <typename Text>
Text FirstLine(Text text) {
  const std::size_t end = text.find('\n');
  if (end != Text::npos) text.resize(end);
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

// The password for `mqtt connect --password-stdin`: one line of standard input, UTF-8; on a
// console it is asked for on standard error and typed without echo. An empty line is no password.
std::optional<std::string> ReadPassword(std::string& error) {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  if (in == nullptr || in == INVALID_HANDLE_VALUE) {
    error = "--password-stdin needs the password on standard input\n";
    return std::nullopt;
  }
  std::string password;
  DWORD mode = 0;
  if (GetConsoleMode(in, &mode)) {
    Write(STD_ERROR_HANDLE, "Password: ");
    SetConsoleMode(in, (mode | ENABLE_LINE_INPUT) & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    std::wstring line;
    wchar_t buffer[256];
    DWORD read = 0;
    while (line.find(L'\n') == std::wstring::npos && ReadConsoleW(in, buffer, 256, &read, nullptr) && read > 0) {
      line.append(buffer, read);
    }
    SetConsoleMode(in, mode);
    Write(STD_ERROR_HANDLE, "\n");
    password = Utf8(FirstLine(std::move(line)).c_str());
  } else {
    char buffer[512];
    DWORD read = 0;
    while (password.find('\n') == std::string::npos && password.size() <= 2 * kMaxPasswordBytes &&
           ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read > 0) {
      password.append(buffer, read);
    }
    password = FirstLine(std::move(password));
    if (!IsValidUtf8(password)) {
      error = "the password on standard input is not UTF-8\n";
      return std::nullopt;
    }
  }
  if (password.size() > kMaxPasswordBytes) {
    error = "the password is longer than 1024 bytes\n";
    return std::nullopt;
  }
  return password;
}

// Lets the program bring a window to the front. user32 is loaded for that alone, and only by the
// commands that show a window: under Wine, loading it costs a console program more than all the
// rest of its work.
void AllowToTheFront(DWORD process_id) {
  using AllowSetForegroundWindowProc = BOOL(WINAPI*)(DWORD);
  const HMODULE user32 = LoadLibraryW(L"user32.dll");
  if (!user32) return;
  const auto allow = reinterpret_cast<AllowSetForegroundWindowProc>(
      reinterpret_cast<void*>(GetProcAddress(user32, "AllowSetForegroundWindow")));
  if (allow) allow(process_id);
}

// Typed with no command: Quellarotix.exe beside us is started. If one runs already, that start
// only shows the running one's window, as any second start does.
int StartProgram() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length < 4 || length >= MAX_PATH) return Fail(kExitNotRunning, "cannot find Quellarotix.exe\n");
  std::wstring program(path, length - 4);
  program += L".exe";
  std::wstring command = L"\"" + program + L"\"";
  const std::wstring folder = program.substr(0, program.find_last_of(L'\\') + 1);
  // No standard handles: a script that reads our output must not wait for the program to end.
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    return Fail(kExitNotRunning, "cannot start Quellarotix.exe\n");
  }
  // The new process may bring its window (or the running one's) to the front.
  AllowToTheFront(process.dwProcessId);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return kExitDone;
}

// Whether the pipe's server is a Quellarotix.exe running as our user (control/peer_check.h), and
// which process it is.
bool IsServedByOurProgram(HANDLE pipe, DWORD& server) {
  ULONG process_id = 0;
  if (!GetNamedPipeServerProcessId(pipe, &process_id)) return false;
  server = process_id;
  ChannelServerFacts facts;
  facts.pipe_owner = ObjectOwner(pipe);
  if (const UniqueHandle process = OpenProcessToQuery(process_id)) {
    facts.image_path = ProcessImagePath(process.get());
    facts.token_user = ProcessUser(process.get());
  }
  return IsTrustedChannelServer(ProcessUser(GetCurrentProcess()), facts);
}

// The pipe, once its server has been shown to be the running Quellarotix, and that server's
// process; else the exit code.
int Connect(UniqueHandle& pipe, DWORD& server, ULONGLONG deadline) {
  const std::wstring name = ControlPipeName();
  for (;;) {
    // Identification only: the server may learn who we are, but cannot act as us.
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      pipe.reset(handle);
      break;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return Fail(kExitNotRunning, "Quellarotix is not running\n");
    if (error != ERROR_PIPE_BUSY) return Fail(kExitNotRunning, "Quellarotix does not take commands\n");
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return Fail(kExitNoAnswer, kNoAnswer);
    (void)WaitNamedPipeW(name.c_str(), static_cast<DWORD>(deadline - now));
  }
  if (!IsServedByOurProgram(pipe.get(), server)) {
    return Fail(kExitNotRunning, "the pipe is not served by the running Quellarotix; nothing was sent\n");
  }
  return kExitDone;
}

int Run(const std::vector<std::string>& words) {
  std::vector<std::string_view> views(words.begin(), words.end());
  if (views.size() == 1 && (views[0] == "--help" || views[0] == "-h" || views[0] == "/?")) {
    Write(STD_OUTPUT_HANDLE, kUsage);
    return kExitDone;
  }
  if (views.size() == 1 && views[0] == "--version") {
    Write(STD_OUTPUT_HANDLE, "Quellarotix " QX_VERSION_TEXT "\n");
    return kExitDone;
  }
  const ParsedRequest parsed = ParseCommand(views);
  if (!parsed.request) return Fail(kExitBadRequest, parsed.error + "\n");
  std::optional<std::string> password;
  if (parsed.request->verb == Verb::kMqtt && parsed.request->mqtt.connect.password_stdin) {
    std::string error;
    password = ReadPassword(error);
    if (!password) return Fail(kExitBadRequest, error);
  }

  // Only from here: a person typing the password has all the time they need.
  const ULONGLONG deadline = GetTickCount64() + kAnswerWaitMs;
  UniqueHandle pipe;
  DWORD server = 0;
  if (const int code = Connect(pipe, server, deadline); code != kExitDone) return code;
  // A `show` brings the program's window to the front.
  if (parsed.request->verb == Verb::kShow) AllowToTheFront(server);
  UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::string line = RequestLine(words, password);
  DWORD done = 0;
  if (!event || !PipeTransfer(pipe.get(), event.get(), nullptr, true, line.data(), static_cast<DWORD>(line.size()),
                              done, deadline)) {
    return Fail(kExitNoAnswer, kNoAnswer);
  }
  std::string answer;
  char buffer[4096];
  std::optional<Reply> reply;
  while (!reply && PipeTransfer(pipe.get(), event.get(), nullptr, false, buffer, sizeof buffer, done, deadline)) {
    answer.append(buffer, done);
    reply = ParseReply(answer);
  }
  if (!reply) return Fail(kExitNoAnswer, kNoAnswer);
  if (reply->status != kExitDone) return Fail(reply->status, reply->body);
  Write(STD_OUTPUT_HANDLE, reply->body);
  return kExitDone;
}

}  // namespace
}  // namespace qx

int wmain(int argc, wchar_t** argv) {
  if (argc <= 1) return qx::StartProgram();
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) words.push_back(qx::Utf8(argv[i]));
  return qx::Run(words);
}
