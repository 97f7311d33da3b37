// Winsock's headers go before <windows.h>.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include "app/service_system.h"

#include "app/service_repair.h"

#include "ui/win32_text.h"

namespace tellurix {

unsigned long OpenServiceError(Service service, DWORD access) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return GetLastError();
  SC_HANDLE opened = OpenServiceW(manager, Widen(ServiceName(service)).c_str(), access);
  const unsigned long error = opened ? 0 : GetLastError();
  if (opened) CloseServiceHandle(opened);
  CloseServiceHandle(manager);
  return error;
}

std::vector<Listener> TcpListeners() {
  std::vector<Listener> listeners;
  auto port = [](DWORD networkOrder) {
    return static_cast<unsigned>((networkOrder & 0xFF) << 8 | (networkOrder >> 8 & 0xFF));
  };
  for (ULONG family : {AF_INET, AF_INET6}) {
    DWORD size = 0;
    GetExtendedTcpTable(nullptr, &size, FALSE, family, TCP_TABLE_OWNER_PID_LISTENER, 0);
    std::vector<unsigned char> table(size);
    if (size == 0 ||
        GetExtendedTcpTable(table.data(), &size, FALSE, family, TCP_TABLE_OWNER_PID_LISTENER, 0) != NO_ERROR) {
      continue;
    }
    if (family == AF_INET) {
      const auto* rows = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(table.data());
      for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
        listeners.push_back({port(rows->table[i].dwLocalPort), rows->table[i].dwOwningPid});
      }
    } else {
      const auto* rows = reinterpret_cast<const MIB_TCP6TABLE_OWNER_PID*>(table.data());
      for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
        listeners.push_back({port(rows->table[i].dwLocalPort), rows->table[i].dwOwningPid});
      }
    }
  }
  return listeners;
}

ServiceState StateOf(Service service) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return ServiceState::Unknown;
  SC_HANDLE opened = OpenServiceW(manager, Widen(ServiceName(service)).c_str(), SERVICE_QUERY_STATUS);
  SERVICE_STATUS status{};
  ServiceState state = ServiceState::Unknown;
  if (opened && QueryServiceStatus(opened, &status)) {
    state = status.dwCurrentState == SERVICE_RUNNING   ? ServiceState::Running
            : status.dwCurrentState == SERVICE_STOPPED ? ServiceState::Stopped
                                                       : ServiceState::Pending;
  }
  if (opened) CloseServiceHandle(opened);
  CloseServiceHandle(manager);
  return state;
}

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
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return std::nullopt;
  SC_HANDLE opened = OpenServiceW(manager, Widen(ServiceName(service)).c_str(), SERVICE_QUERY_CONFIG);
  std::optional<ServiceSetup> registration;
  DWORD size = 0;
  if (opened && !QueryServiceConfigW(opened, nullptr, 0, &size) && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    std::vector<BYTE> buffer(size);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (QueryServiceConfigW(opened, config, size, &size)) {
      registration = ServiceSetup{config->dwStartType == SERVICE_DISABLED,
                                  config->lpBinaryPathName ? Narrow(config->lpBinaryPathName) : ""};
    }
  }
  if (opened) CloseServiceHandle(opened);
  CloseServiceHandle(manager);
  return registration;
}

std::string LongPathOf(const std::string& path) {
  const std::wstring wide = Widen(path);
  const DWORD size = GetLongPathNameW(wide.c_str(), nullptr, 0);
  if (size == 0) return path;
  std::wstring expanded(size, L'\0');
  expanded.resize(GetLongPathNameW(wide.c_str(), expanded.data(), size));
  return expanded.empty() ? path : Narrow(expanded);
}

bool CanBind(unsigned port) {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) return false;
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (probe == INVALID_SOCKET) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  // Without exclusive use another socket could share the port unseen.
  BOOL exclusive = TRUE;
  setsockopt(probe, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof(exclusive));
  const bool bound = bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  closesocket(probe);
  return bound;
}

int SetServiceManual(Service service) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE opened =
      manager ? OpenServiceW(manager, Widen(ServiceName(service)).c_str(), SERVICE_CHANGE_CONFIG) : nullptr;
  const bool changed =
      opened && ChangeServiceConfigW(opened, SERVICE_NO_CHANGE, SERVICE_DEMAND_START, SERVICE_NO_CHANGE, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (opened) CloseServiceHandle(opened);
  if (manager) CloseServiceHandle(manager);
  return changed ? kToolDone : kToolFailed;
}

}  // namespace tellurix
