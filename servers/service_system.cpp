// Winsock's headers go before <windows.h>.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include "servers/service_system.h"

#include "servers/service_repair.h"

#include "ui/system_library.h"
#include "ui/win32_handles.h"
#include "ui/win32_text.h"

namespace tellurix {

namespace {

// One of the stack's services opened with `access`; `error` is the system's
// code when it could not be. The service closes before its manager.
struct OpenedService {
  UniqueServiceHandle manager, service;
  unsigned long error = 0;
};

OpenedService Open(Service service, DWORD access) {
  OpenedService opened;
  opened.manager.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (opened.manager)
    opened.service.reset(OpenServiceW(opened.manager.get(), Widen(ServiceName(service)).c_str(), access));
  if (!opened.service) opened.error = GetLastError();
  return opened;
}

const PortApi* testPorts = nullptr;

// Winsock and the IP helper: loaded when a port is first checked, kept once
// every function is there (a failed load is tried again by the next command).
const PortApi* Ports(std::string* missing = nullptr) {
  if (testPorts) return testPorts;
  static PortApi api;
  static bool ready = false;
  if (ready) return &api;
  PortApi found;
  SystemFunctions winsock(L"ws2_32.dll");
  winsock.Find(found.startup, "WSAStartup")
      .Find(found.lastError, "WSAGetLastError")
      .Find(found.open, "socket")
      .Find(found.setOption, "setsockopt")
      .Find(found.bind, "bind")
      .Find(found.close, "closesocket")
      .Find(found.parse, "InetPtonW");
  SystemFunctions ipHelper(L"iphlpapi.dll");
  ipHelper.Find(found.tcpTable, "GetExtendedTcpTable");
  WSADATA data;
  const char* failed = !winsock.complete()                           ? winsock.missing().c_str()
                       : !ipHelper.complete()                        ? ipHelper.missing().c_str()
                       : found.startup(MAKEWORD(2, 2), &data) != 0 ? "ws2_32.dll!WSAStartup"
                                                                      : nullptr;
  if (failed) {
    if (missing) *missing = failed;
    return nullptr;
  }
  api = found;
  ready = true;
  return &api;
}

// The port in network byte order, as the socket addresses take it.
u_short NetworkOrder(unsigned port) { return static_cast<u_short>((port & 0xFF) << 8 | (port >> 8 & 0xFF)); }

// The listening rows of one of the system's TCP tables (IPv4 or IPv6).
template <typename Table>
void AddListeners(const unsigned char* bytes, std::vector<Listener>& listeners) {
  const auto* rows = reinterpret_cast<const Table*>(bytes);
  for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
    const DWORD port = rows->table[i].dwLocalPort;  // network byte order in the low word
    listeners.push_back({static_cast<unsigned>((port & 0xFF) << 8 | (port >> 8 & 0xFF)), rows->table[i].dwOwningPid});
  }
}

}  // namespace

unsigned long OpenServiceError(Service service, DWORD access) { return Open(service, access).error; }

std::optional<std::string> PortChecksUnavailable() {
  std::string missing;
  if (Ports(&missing)) return std::nullopt;
  return missing;
}

std::vector<Listener> TcpListeners() {
  std::vector<Listener> listeners;
  const PortApi* api = Ports();
  if (!api) return listeners;
  for (ULONG family : {AF_INET, AF_INET6}) {
    // The table may grow between asking its size and reading it: asked again
    // with the size the system names then, as long as it names a larger one.
    std::vector<unsigned char> table;
    DWORD size = 0, result = ERROR_INSUFFICIENT_BUFFER;
    for (int attempt = 0; attempt < 8 && result == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
      table.resize(size);
      result = api->tcpTable(table.empty() ? nullptr : table.data(), &size, FALSE, family,
                             TCP_TABLE_OWNER_PID_LISTENER, 0);
    }
    if (result != NO_ERROR || table.empty()) continue;
    if (family == AF_INET) {
      AddListeners<MIB_TCPTABLE_OWNER_PID>(table.data(), listeners);
    } else {
      AddListeners<MIB_TCP6TABLE_OWNER_PID>(table.data(), listeners);
    }
  }
  return listeners;
}

void SetPortApiForTesting(const PortApi* api) { testPorts = api; }

ServiceStatus StatusOf(Service service) {
  const OpenedService opened = Open(service, SERVICE_QUERY_STATUS);
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!opened.service || !QueryServiceStatusEx(opened.service.get(), SC_STATUS_PROCESS_INFO,
                                               reinterpret_cast<BYTE*>(&status), sizeof(status), &needed)) {
    return {};
  }
  ServiceStatus said;
  said.state = status.dwCurrentState == SERVICE_RUNNING   ? ServiceState::Running
               : status.dwCurrentState == SERVICE_STOPPED ? ServiceState::Stopped
                                                          : ServiceState::Pending;
  said.processId = status.dwProcessId;
  said.waitHintMs = status.dwWaitHint;
  return said;
}

ServiceState StateOf(Service service) { return StatusOf(service).state; }

std::vector<RunningService> RunningServices() {
  std::vector<RunningService> running;
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
  if (!manager) return running;
  DWORD needed = 0, count = 0, resume = 0;
  EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_ACTIVE, nullptr, 0, &needed, &count,
                        &resume, nullptr);
  std::vector<BYTE> buffer(needed);
  resume = 0;
  if (needed && EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_ACTIVE, buffer.data(),
                                      needed, &needed, &count, &resume, nullptr)) {
    const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
      running.push_back({Narrow(services[i].lpServiceName), Narrow(services[i].lpDisplayName)});
    }
  }
  CloseServiceHandle(manager);
  return running;
}

std::optional<ServiceSetup> RegistrationOf(Service service) {
  const OpenedService opened = Open(service, SERVICE_QUERY_CONFIG);
  DWORD size = 0;
  if (!opened.service || QueryServiceConfigW(opened.service.get(), nullptr, 0, &size) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return std::nullopt;
  }
  std::vector<BYTE> buffer(size);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (!QueryServiceConfigW(opened.service.get(), config, size, &size)) return std::nullopt;
  return ServiceSetup{config->dwStartType == SERVICE_DISABLED,
                      config->lpBinaryPathName ? Narrow(config->lpBinaryPathName) : ""};
}

std::string LongPathOf(const std::string& path) {
  const std::wstring wide = Widen(path);
  const DWORD size = GetLongPathNameW(wide.c_str(), nullptr, 0);
  if (size == 0) return path;
  std::wstring expanded(size, L'\0');
  expanded.resize(GetLongPathNameW(wide.c_str(), expanded.data(), size));
  return expanded.empty() ? path : Narrow(expanded);
}

namespace {

// Binds a socket of this family to the address as the servers bind theirs,
// with the system's default options (only an IPv6 socket is kept to IPv6, as
// Apache's "[::]" listener is), and lets go at once: 0 when it could, else the
// Winsock error. An option the servers do not set would change the answer: an
// exclusive bind fails where theirs succeeds. An address family the system
// does not have counts as bound.
unsigned long TryBind(const PortApi& api, int family, const sockaddr* address, int length) {
  SOCKET probe = api.open(family, SOCK_STREAM, IPPROTO_TCP);
  if (probe == INVALID_SOCKET) return family == AF_INET6 ? 0 : static_cast<unsigned long>(api.lastError());
  if (family == AF_INET6) {
    BOOL on = TRUE;
    api.setOption(probe, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&on), sizeof(on));
  }
  const unsigned long error = api.bind(probe, address, length) == 0 ? 0 : static_cast<unsigned long>(api.lastError());
  api.close(probe);
  return error == WSAEADDRNOTAVAIL || error == WSAEAFNOSUPPORT ? 0 : error;
}

}  // namespace

unsigned long BindError(const std::string& address, unsigned port) {
  const PortApi* api = Ports();
  if (!api) return 0;  // nothing known; the command has said why already
  sockaddr_in v4{};
  v4.sin_family = AF_INET;
  v4.sin_port = NetworkOrder(port);
  sockaddr_in6 v6{};
  v6.sin6_family = AF_INET6;
  v6.sin6_port = NetworkOrder(port);
  const auto bindV4 = [&] { return TryBind(*api, AF_INET, reinterpret_cast<const sockaddr*>(&v4), sizeof(v4)); };
  const auto bindV6 = [&] { return TryBind(*api, AF_INET6, reinterpret_cast<const sockaddr*>(&v6), sizeof(v6)); };
  if (address.empty()) {
    const unsigned long error = bindV4();
    return error ? error : bindV6();
  }
  const std::wstring wide = Widen(address);
  if (api->parse(AF_INET, wide.c_str(), &v4.sin_addr) == 1) return bindV4();
  if (api->parse(AF_INET6, wide.c_str(), &v6.sin6_addr) == 1) return bindV6();
  return 0;  // a host name: the server resolves it, the panel does not guess
}

bool CanBind(unsigned port) { return Ports() && BindError({}, port) == 0; }

int SetServiceManual(Service service) {
  const OpenedService opened = Open(service, SERVICE_CHANGE_CONFIG);
  const bool changed = opened.service && ChangeServiceConfigW(opened.service.get(), SERVICE_NO_CHANGE,
                                                              SERVICE_DEMAND_START, SERVICE_NO_CHANGE, nullptr, nullptr,
                                                              nullptr, nullptr, nullptr, nullptr, nullptr);
  return changed ? kToolDone : kToolFailed;
}

}  // namespace tellurix
