#include "tools/vswitch/virtual_switch.h"

#include <windows.h>
// (after windows.h)
#include <dbt.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

namespace qx::vswitch {

namespace {

constexpr ULONG_PTR kIoKey = 1;
constexpr ULONG_PTR kCommandKey = 2;
constexpr int kSpareInstances = 8;   // always listening, so back-to-back opens never find it busy
constexpr int kMaxInstances = 64;    // per device
constexpr DWORD kReadBuffer = 4096;  // larger than any report a client sends
constexpr std::size_t kMaxInputReport = 64;

std::int64_t Now() {
  LARGE_INTEGER v;
  QueryPerformanceCounter(&v);
  return v.QuadPart;
}

std::int64_t Frequency() {
  LARGE_INTEGER v;
  QueryPerformanceFrequency(&v);
  return v.QuadPart;
}

struct Device;
struct Instance;

enum class OpKind { kIo, kWrite };

struct Op : OVERLAPPED {
  Instance* instance = nullptr;
  OpKind kind = OpKind::kIo;
};

enum class InstanceState { kListening, kConnected, kDraining };

struct Instance {
  Device* device = nullptr;
  HANDLE pipe = INVALID_HANDLE_VALUE;
  InstanceState state = InstanceState::kListening;
  Op io;  // the connect, then the reads
  Op write;
  bool write_pending = false;
  // A report asked for on demand while the last one was still on its way: it goes out as soon as
  // that write completes. (The client may have read the last one already; the completion only
  // reaches this thread later, and skipping the instance would leave its next read waiting.)
  bool report_owed = false;
  bool closing = false;
  bool destroyed = false;  // closed and off its device's list, its memory not yet freed
  int pending = 0;
  std::vector<std::uint8_t> read_buffer = std::vector<std::uint8_t>(kReadBuffer);
  std::vector<std::uint8_t> write_buffer;
};

struct Device {
  int slot = 0;
  DeviceSpec spec;
  std::string path;
  std::wstring wide_path;
  std::vector<Instance*> instances;  // server thread only
  std::int64_t next_due = 0;         // server thread only
  // Guarded by Impl::mutex.
  bool plugged = false;
  std::vector<std::uint8_t> input_report{0, 0, 0};
  double rate = 0;
  int open_handles = 0;
  std::int64_t opens = 0;
  std::int64_t reports_read = 0;
  std::int64_t output_reports = 0;
  int outlets = -1;
  std::vector<OutputReport> log;
};

}  // namespace

std::string CurrentSessionName() {
  char session[kSessionCapacity];
  CurrentSession(session, sizeof session);
  return session;
}

std::int64_t PerformanceCounter() {
  return Now();
}
std::int64_t PerformanceFrequency() {
  return Frequency();
}

struct VirtualSwitch::Impl {
  std::string session;
  HANDLE mapping = nullptr;
  InterfaceTable* table = nullptr;
  HANDLE port = nullptr;
  std::thread server;
  bool running = false;
  std::function<void()> on_change;

  mutable std::mutex mutex;  // devices' shared fields, the command queue
  mutable std::condition_variable log_changed;
  std::vector<std::unique_ptr<Device>> devices;
  std::deque<std::function<void()>> commands;
  bool quit = false;
  // Destroyed instances, freed only between completions (server thread). An instance can be
  // destroyed deep inside the handling of its own completion (a connect that listens again and
  // finds its client gone retires it), and the callers up the stack still look at it.
  std::vector<Instance*> destroyed;

  // --- running code on the server thread ------------------------------------------------------

  template <typename F>
  auto Run(F f) -> decltype(f()) {
    using R = decltype(f());
    auto task = std::make_shared<std::packaged_task<R()>>(std::move(f));
    auto result = task->get_future();
    {
      std::lock_guard lock(mutex);
      commands.emplace_back([task] { (*task)(); });
    }
    PostQueuedCompletionStatus(port, 0, kCommandKey, nullptr);
    return result.get();
  }

  void Changed() {
    log_changed.notify_all();
    if (on_change) on_change();
  }

  Device* Find(int slot) {
    std::lock_guard lock(mutex);
    return slot >= 0 && slot < static_cast<int>(devices.size()) ? devices[slot].get() : nullptr;
  }

  // --- the table --------------------------------------------------------------------------------

  void Publish() {
    WriteTable();
    TellDeviceChange();
  }

  void WriteTable() {
    std::lock_guard lock(mutex);
    InterlockedIncrement(&table->sequence);
    MemoryBarrier();
    int n = 0;
    for (const auto& d : devices) {
      if (n == kMaxInterfaces) break;
      InterfaceEntry& e = table->entries[n++];
      std::snprintf(e.path, sizeof e.path, "%s", d->path.c_str());
      e.vendor = d->spec.vendor;
      e.product = d->spec.product;
      e.release = d->spec.release;
      e.flags = static_cast<std::uint16_t>((d->plugged ? kListed : 0) |
                                           (d->spec.kind == InterfaceKind::kZeroDetailSize ? kZeroDetailSize : 0));
    }
    table->count = n;
    MemoryBarrier();
    InterlockedIncrement(&table->sequence);
  }

  // A machine's device manager tells every top-level window that the device tree changed when a
  // device comes or goes; programs that follow such news (rather than list the interfaces at
  // every look) see the simulated plugs the same way. Posted, so it never waits for anyone.
  static void TellDeviceChange() {
    PostMessageW(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
  }

  // --- pipe instances (server thread) -----------------------------------------------------------

  bool Issue(Instance* in, BOOL ok) {
    // A read that finds a message longer than its buffer fails at once with ERROR_MORE_DATA, yet
    // still completes through the port, as one that succeeds at once does.
    if (ok || GetLastError() == ERROR_IO_PENDING || GetLastError() == ERROR_MORE_DATA) {
      ++in->pending;  // a completion packet will come
      return true;
    }
    return false;
  }

  void NewInstance(Device* d) {
    HANDLE pipe = CreateNamedPipeW(d->wide_path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                                   0 /* out: a report waits until read */, kReadBuffer, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return;
    if (!CreateIoCompletionPort(pipe, port, kIoKey, 0)) {
      CloseHandle(pipe);
      return;
    }
    auto* in = new Instance;
    in->device = d;
    in->pipe = pipe;
    in->io.instance = in;
    in->io.kind = OpKind::kIo;
    in->write.instance = in;
    in->write.kind = OpKind::kWrite;
    d->instances.push_back(in);
    Listen(in);
  }

  void Listen(Instance* in) {
    in->state = InstanceState::kListening;
    in->report_owed = false;
    for (;;) {
      ZeroMemory(static_cast<OVERLAPPED*>(&in->io), sizeof(OVERLAPPED));
      const BOOL ok = ConnectNamedPipe(in->pipe, &in->io);
      if (Issue(in, ok)) return;
      const DWORD error = GetLastError();
      if (error == ERROR_PIPE_CONNECTED) {
        Connected(in);
        // No completion will come for this connect; a client that has already left again must
        // not leave the instance waiting for one.
        Settle(in);
        return;
      }
      // A client that opened and closed again before the listen (an instance listens from its
      // creation on, and again from its disconnect): listen anew. Retired, the instance would be
      // gone for good, and once all were, the device would vanish for every later open.
      if (error != ERROR_NO_DATA || !DisconnectNamedPipe(in->pipe)) break;
    }
    Retire(in);
  }

  void Connected(Instance* in) {
    in->state = InstanceState::kConnected;
    Device* d = in->device;
    {
      std::lock_guard lock(mutex);
      ++d->open_handles;
      ++d->opens;
    }
    PostRead(in);
    KeepSpares(d);
    Changed();
  }

  void PostRead(Instance* in) {
    ZeroMemory(static_cast<OVERLAPPED*>(&in->io), sizeof(OVERLAPPED));
    const BOOL ok = ReadFile(in->pipe, in->read_buffer.data(), kReadBuffer, nullptr, &in->io);
    if (!Issue(in, ok)) ClientGone(in);
  }

  void ClientGone(Instance* in) {
    if (in->state != InstanceState::kConnected) return;
    in->state = InstanceState::kDraining;
    {
      std::lock_guard lock(mutex);
      --in->device->open_handles;
    }
    if (in->write_pending) CancelIoEx(in->pipe, &in->write);
    Changed();
  }

  // After every completion: an instance whose client has left and whose operations are all done
  // listens again, or goes away with its device.
  void Settle(Instance* in) {
    if (in->destroyed || in->pending > 0) return;
    if (in->closing) {
      Destroy(in);
      return;
    }
    if (in->state == InstanceState::kDraining) {
      DisconnectNamedPipe(in->pipe);
      Listen(in);
    }
  }

  void Retire(Instance* in) {
    in->closing = true;
    if (in->state == InstanceState::kConnected) ClientGone(in);
    DisconnectNamedPipe(in->pipe);
    CancelIoEx(in->pipe, nullptr);
    Settle(in);
  }

  void Destroy(Instance* in) {
    auto& list = in->device->instances;
    list.erase(std::remove(list.begin(), list.end(), in), list.end());
    CloseHandle(in->pipe);
    in->destroyed = true;
    destroyed.push_back(in);
  }

  // Called only with no instance on the stack: between two completions or commands.
  void FreeDestroyed() {
    for (Instance* in : destroyed) delete in;
    destroyed.clear();
  }

  void KeepSpares(Device* d) {
    bool plugged;
    {
      std::lock_guard lock(mutex);
      plugged = d->plugged;
    }
    if (!plugged || d->spec.kind != InterfaceKind::kDevice) return;
    int listening = 0;
    for (Instance* in : d->instances) {
      if (in->state == InstanceState::kListening && !in->closing) ++listening;
    }
    while (listening < kSpareInstances && static_cast<int>(d->instances.size()) < kMaxInstances) {
      const std::size_t before = d->instances.size();
      NewInstance(d);
      if (d->instances.size() == before) break;
      ++listening;
    }
  }

  void Complete(Op* op, bool ok, DWORD bytes, DWORD error) {
    Instance* in = op->instance;
    --in->pending;
    Device* d = in->device;
    if (op->kind == OpKind::kWrite) {
      in->write_pending = false;
      if (ok) {
        std::lock_guard lock(mutex);
        ++d->reports_read;
      }
      if (in->report_owed) {
        in->report_owed = false;
        if (const auto report = CurrentInputReport(d)) OfferTo(in, *report);
      }
    } else if (in->closing) {
      // cancelled with its device
    } else if (in->state == InstanceState::kListening) {
      if (ok || error == ERROR_PIPE_CONNECTED) {
        Connected(in);
      } else {
        // A client that opened and closed again before its connect was seen: the instance listens
        // again. (Retired, it would be gone for good, and a device that is opened and closed fast
        // enough would run out of listening instances and answer "pipe busy".)
        DisconnectNamedPipe(in->pipe);
        Listen(in);
        KeepSpares(d);
      }
    } else if (in->state == InstanceState::kConnected) {
      if (ok || error == ERROR_MORE_DATA) {
        Record(d, in->read_buffer.data(), bytes);
        PostRead(in);
      } else {
        ClientGone(in);
      }
    }
    if (op->kind == OpKind::kWrite) Changed();
    Settle(in);
  }

  void Record(Device* d, const std::uint8_t* bytes, DWORD count) {
    OutputReport report;
    report.qpc = Now();
    report.bytes.assign(bytes, bytes + count);
    {
      std::lock_guard lock(mutex);
      if (count == 2) d->outlets = bytes[1];
      ++d->output_reports;
      d->log.push_back(std::move(report));
    }
    Changed();
  }

  std::optional<std::vector<std::uint8_t>> CurrentInputReport(Device* d) {
    std::lock_guard lock(mutex);
    if (!d->plugged) return std::nullopt;
    return d->input_report;
  }

  void OfferTo(Instance* in, const std::vector<std::uint8_t>& report) {
    if (in->state != InstanceState::kConnected || in->write_pending || in->closing) return;
    in->write_buffer = report;
    ZeroMemory(static_cast<OVERLAPPED*>(&in->write), sizeof(OVERLAPPED));
    const BOOL ok = WriteFile(in->pipe, in->write_buffer.data(), static_cast<DWORD>(in->write_buffer.size()), nullptr,
                              &in->write);
    if (Issue(in, ok)) in->write_pending = true;
  }

  // At the set rate a handle that has not read the last report misses this one; on demand it
  // gets it once it has.
  enum class Busy { kSkip, kOwe };
  void Offer(Device* d, Busy busy) {
    const auto report = CurrentInputReport(d);
    if (!report) return;
    for (Instance* in : d->instances) {
      if (in->write_pending && busy == Busy::kOwe && in->state == InstanceState::kConnected) in->report_owed = true;
      OfferTo(in, *report);
    }
  }

  void PlugOnServer(Device* d) {
    {
      std::lock_guard lock(mutex);
      if (d->plugged) return;
      d->plugged = true;
    }
    d->next_due = Now();
    KeepSpares(d);
    Publish();
    Changed();
  }

  void UnplugOnServer(Device* d) {
    {
      std::lock_guard lock(mutex);
      if (!d->plugged) return;
      d->plugged = false;
    }
    // Leave the list first, so no search finds a device whose pipes are going away.
    Publish();
    const std::vector<Instance*> instances = d->instances;
    for (Instance* in : instances) Retire(in);
    Changed();
  }

  DWORD Timeout() {
    std::int64_t soonest = -1;
    {
      std::lock_guard lock(mutex);
      for (const auto& d : devices) {
        if (!d->plugged || d->rate <= 0 || d->spec.kind != InterfaceKind::kDevice) continue;
        if (soonest < 0 || d->next_due < soonest) soonest = d->next_due;
      }
    }
    if (soonest < 0) return INFINITE;
    const std::int64_t wait = soonest - Now();
    if (wait <= 0) return 0;
    return static_cast<DWORD>(wait * 1000 / Frequency() + 1);
  }

  void SendDue() {
    const std::int64_t now = Now();
    std::vector<Device*> due;
    {
      std::lock_guard lock(mutex);
      for (const auto& d : devices) {
        if (!d->plugged || d->rate <= 0 || d->spec.kind != InterfaceKind::kDevice || d->next_due > now) continue;
        due.push_back(d.get());
        const auto period = static_cast<std::int64_t>(static_cast<double>(Frequency()) / d->rate);
        d->next_due = std::max(d->next_due + std::max<std::int64_t>(period, 1), now);
      }
    }
    for (Device* d : due) Offer(d, Busy::kSkip);
  }

  void Serve() {
    for (;;) {
      DWORD bytes = 0;
      ULONG_PTR key = 0;
      OVERLAPPED* ov = nullptr;
      const BOOL ok = GetQueuedCompletionStatus(port, &bytes, &key, &ov, Timeout());
      const DWORD error = ok ? 0 : GetLastError();
      if (ov) {
        Complete(static_cast<Op*>(ov), ok != FALSE, bytes, error);
      } else if (key == kCommandKey) {
        std::deque<std::function<void()>> batch;
        {
          std::lock_guard lock(mutex);
          batch.swap(commands);
        }
        for (auto& command : batch) command();
        FreeDestroyed();
        std::lock_guard lock(mutex);
        if (quit) break;
      }
      SendDue();
      FreeDestroyed();
    }
    // Unplug everything and wait, a bounded time, for the cancelled operations to come back.
    std::vector<Device*> all;
    {
      std::lock_guard lock(mutex);
      for (const auto& d : devices) all.push_back(d.get());
    }
    for (Device* d : all) {
      UnplugOnServer(d);
    }
    const ULONGLONG deadline = GetTickCount64() + 3000;
    auto outstanding = [&] {
      for (Device* d : all) {
        if (!d->instances.empty()) return true;
      }
      return false;
    };
    while (outstanding() && GetTickCount64() < deadline) {
      DWORD bytes = 0;
      ULONG_PTR key = 0;
      OVERLAPPED* ov = nullptr;
      const BOOL ok = GetQueuedCompletionStatus(port, &bytes, &key, &ov, 100);
      if (ov) Complete(static_cast<Op*>(ov), ok != FALSE, bytes, ok ? 0 : GetLastError());
      FreeDestroyed();
    }
    FreeDestroyed();
  }
};

VirtualSwitch::VirtualSwitch(std::string session) : impl_(std::make_unique<Impl>()) {
  impl_->session = std::move(session);
}

VirtualSwitch::~VirtualSwitch() {
  Stop();
}

const std::string& VirtualSwitch::session() const {
  return impl_->session;
}

bool VirtualSwitch::Start() {
  Impl& m = *impl_;
  if (m.running) return true;
  char name[128];
  TableNameFor(m.session.c_str(), name, sizeof name);
  m.mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(InterfaceTable), name);
  if (!m.mapping) return false;
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  m.table = static_cast<InterfaceTable*>(MapViewOfFile(m.mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!m.table) {
    CloseHandle(m.mapping);
    m.mapping = nullptr;
    return false;
  }
  if (existed && m.table->magic == kTableMagic && m.table->owner_process != 0 &&
      static_cast<DWORD>(m.table->owner_process) != GetCurrentProcessId()) {
    // Another simulator may still serve this session; take over only from one that has ended.
    HANDLE owner = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(m.table->owner_process));
    const bool alive = owner && WaitForSingleObject(owner, 0) == WAIT_TIMEOUT;
    if (owner) CloseHandle(owner);
    if (alive) {
      UnmapViewOfFile(m.table);
      CloseHandle(m.mapping);
      m.table = nullptr;
      m.mapping = nullptr;
      return false;
    }
  }
  m.table->sequence = 0;
  m.table->count = 0;
  m.table->fail_class_devs = 0;
  ZeroMemory(const_cast<StandInCounters*>(&m.table->counters), sizeof(StandInCounters));
  m.table->counters.enum_max_index = -1;
  m.table->version = kTableVersion;
  m.table->owner_process = static_cast<LONG>(GetCurrentProcessId());
  MemoryBarrier();
  m.table->magic = kTableMagic;

  m.port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
  if (!m.port) {
    UnmapViewOfFile(m.table);
    CloseHandle(m.mapping);
    m.table = nullptr;
    m.mapping = nullptr;
    return false;
  }
  m.quit = false;
  m.running = true;
  m.server = std::thread([&m] { m.Serve(); });
  return true;
}

void VirtualSwitch::Stop() {
  Impl& m = *impl_;
  if (!m.running) return;
  {
    std::lock_guard lock(m.mutex);
    m.quit = true;
  }
  PostQueuedCompletionStatus(m.port, 0, kCommandKey, nullptr);
  m.server.join();
  m.running = false;
  InterlockedIncrement(&m.table->sequence);
  m.table->count = 0;
  m.table->owner_process = 0;
  InterlockedIncrement(&m.table->sequence);
  Impl::TellDeviceChange();
  UnmapViewOfFile(m.table);
  CloseHandle(m.mapping);
  CloseHandle(m.port);
  m.table = nullptr;
  m.mapping = nullptr;
  m.port = nullptr;
  std::lock_guard lock(m.mutex);
  for (auto& d : m.devices) {
    d->plugged = false;
    d->open_handles = 0;
  }
}

int VirtualSwitch::AddDevice(const DeviceSpec& spec) {
  Impl& m = *impl_;
  if (!m.running) return -1;
  return m.Run([&m, spec] {
    int slot;
    Device* d;
    {
      std::lock_guard lock(m.mutex);
      slot = static_cast<int>(m.devices.size());
      if (slot >= kMaxInterfaces) return -1;
      auto device = std::make_unique<Device>();
      device->slot = slot;
      device->spec = spec;
      char path[kPathCapacity];
      std::snprintf(path, sizeof path, "\\\\.\\pipe\\qxvs.%s.%d#vid_%04x&pid_%04x&rev_%04x", m.session.c_str(), slot,
                    spec.vendor, spec.product, spec.release);
      device->path = path;
      device->wide_path.assign(device->path.begin(), device->path.end());
      d = device.get();
      m.devices.push_back(std::move(device));
    }
    if (spec.plugged) {
      m.PlugOnServer(d);
    } else {
      m.Publish();
    }
    return slot;
  });
}

int VirtualSwitch::DeviceCount() const {
  std::lock_guard lock(impl_->mutex);
  return static_cast<int>(impl_->devices.size());
}

bool VirtualSwitch::Plug(int slot) {
  Impl& m = *impl_;
  Device* d = m.Find(slot);
  if (!d || !m.running) return false;
  m.Run([&m, d] { m.PlugOnServer(d); });
  return true;
}

bool VirtualSwitch::Unplug(int slot) {
  Impl& m = *impl_;
  Device* d = m.Find(slot);
  if (!d || !m.running) return false;
  m.Run([&m, d] { m.UnplugOnServer(d); });
  return true;
}

bool VirtualSwitch::SetCount(int slot, int count) {
  const auto value = static_cast<std::uint16_t>(static_cast<std::int16_t>(count));
  return SetRawReport(slot, {0x00, static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)});
}

bool VirtualSwitch::SetRawReport(int slot, const std::vector<std::uint8_t>& bytes) {
  Impl& m = *impl_;
  Device* d = m.Find(slot);
  if (!d || bytes.size() > kMaxInputReport) return false;
  {
    std::lock_guard lock(m.mutex);
    d->input_report = bytes;
  }
  m.Changed();
  return true;
}

bool VirtualSwitch::SetRate(int slot, double per_second) {
  Impl& m = *impl_;
  Device* d = m.Find(slot);
  if (!d || !m.running || !(per_second >= 0) || per_second > 1000) return false;
  m.Run([&m, d, per_second] {
    {
      std::lock_guard lock(m.mutex);
      d->rate = per_second;
    }
    d->next_due = Now();
  });
  return true;
}

bool VirtualSwitch::SendInputReport(int slot) {
  Impl& m = *impl_;
  Device* d = m.Find(slot);
  if (!d || !m.running) return false;
  m.Run([&m, d] { m.Offer(d, Impl::Busy::kOwe); });
  return true;
}

void VirtualSwitch::Sync() {
  if (impl_->running) impl_->Run([] {});
}

std::vector<OutputReport> VirtualSwitch::OutputReports(int slot) const {
  Impl& m = *impl_;
  Device* d = m.Find(slot);
  if (!d) return {};
  std::lock_guard lock(m.mutex);
  return d->log;
}

void VirtualSwitch::ClearOutputReports(int slot) {
  Impl& m = *impl_;
  Device* d = m.Find(slot);
  if (!d) return;
  std::lock_guard lock(m.mutex);
  d->log.clear();
}

bool VirtualSwitch::WaitForOutputReports(int slot, std::size_t count, int timeout_ms) const {
  Impl& m = *impl_;
  Device* d = m.Find(slot);
  if (!d) return false;
  std::unique_lock lock(m.mutex);
  return m.log_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return d->log.size() >= count; });
}

DeviceStatus VirtualSwitch::Status(int slot) const {
  Impl& m = *impl_;
  Device* d = m.Find(slot);
  DeviceStatus s;
  if (!d) return s;
  std::lock_guard lock(m.mutex);
  s.exists = true;
  s.spec = d->spec;
  s.plugged = d->plugged;
  s.open_handles = d->open_handles;
  s.opens = d->opens;
  s.reports_read = d->reports_read;
  s.output_reports = d->output_reports;
  s.outlets = d->outlets;
  s.input_report = d->input_report;
  s.rate = d->rate;
  return s;
}

std::string VirtualSwitch::DevicePath(int slot) const {
  Device* d = impl_->Find(slot);
  return d ? d->path : std::string();
}

StandInCounters VirtualSwitch::Counters() const {
  StandInCounters c{};
  if (impl_->table) {
    const volatile StandInCounters& t = impl_->table->counters;
    c.class_devs = t.class_devs;
    c.destroyed = t.destroyed;
    c.enum_calls = t.enum_calls;
    c.enum_max_index = t.enum_max_index;
    c.detail_calls = t.detail_calls;
    c.wide_class_devs = t.wide_class_devs;
  }
  return c;
}

void VirtualSwitch::ResetCounters() {
  if (!impl_->table) return;
  volatile StandInCounters& t = impl_->table->counters;
  t.class_devs = 0;
  t.destroyed = 0;
  t.enum_calls = 0;
  t.enum_max_index = -1;
  t.detail_calls = 0;
  t.wide_class_devs = 0;
}

void VirtualSwitch::SetClassDevsFailure(bool fail) {
  if (impl_->table) impl_->table->fail_class_devs = fail ? 1 : 0;
}

void VirtualSwitch::SetChangeCallback(std::function<void()> callback) {
  impl_->on_change = std::move(callback);
}

}  // namespace qx::vswitch
