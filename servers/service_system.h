// What the system says about the stack's services and the ports they use, and
// the one change of a service the panel makes itself (run elevated).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "servers/service_diagnosis.h"

struct WSAData;
struct sockaddr;

namespace tellurix {

// The system's error code of opening the service with `access`; 0 when it opened.
unsigned long OpenServiceError(Service service, DWORD access);
ServiceState StateOf(Service service);
// The state with what the service manager adds to it: the service's process
// (0 when none runs) and how long it expects a pending state to last.
struct ServiceStatus {
  ServiceState state = ServiceState::Unknown;
  unsigned long processId = 0;
  unsigned long waitHintMs = 0;
};
ServiceStatus StatusOf(Service service);

// The service's registration: whether it is disabled, and its command line.
struct ServiceSetup {
  bool disabled = false;
  std::string commandLine;
};
std::optional<ServiceSetup> RegistrationOf(Service service);

// The services that run now, for naming the users of the HTTP service.
std::vector<RunningService> RunningServices();

// The port checks need Winsock and the IP helper, loaded on first use: none
// when they are there, else the DLL or function that is missing.
std::optional<std::string> PortChecksUnavailable();
// The TCP ports programs listen on, with their owners' process ids.
std::vector<Listener> TcpListeners();
// Binding the port as a server would, on `address` (IPv4 or IPv6, as Apache's
// Listen names it) or on all addresses, IPv4 and, where the system has it,
// IPv6, for exclusive use; the socket is closed at once. 0 when it could be
// bound, else the Winsock error (10013 forbidden, 10048 in use).
unsigned long BindError(const std::string& address, unsigned port);
// Whether the panel can listen on the port itself on all addresses.
bool CanBind(unsigned port);

// The functions of Winsock and the IP helper the port checks use, as Windows
// exports them; replaceable by tests that play what Wine does not show.
struct PortApi {
  int(WINAPI* startup)(WORD version, WSAData* data) = nullptr;
  int(WINAPI* lastError)() = nullptr;
  UINT_PTR(WINAPI* open)(int family, int type, int protocol) = nullptr;
  int(WINAPI* setOption)(UINT_PTR socket, int level, int name, const char* value, int length) = nullptr;
  int(WINAPI* bind)(UINT_PTR socket, const sockaddr* address, int length) = nullptr;
  int(WINAPI* close)(UINT_PTR socket) = nullptr;
  int(WINAPI* parse)(int family, const wchar_t* text, void* address) = nullptr;
  DWORD(WINAPI* tcpTable)(void* table, DWORD* size, BOOL sorted, ULONG family, int tableClass, ULONG reserved) = nullptr;
};
// nullptr puts the system's back.
void SetPortApiForTesting(const PortApi* api);

// A path's long form (8.3 short names expanded); the path itself when the file
// system cannot tell.
std::string LongPathOf(const std::string& path);

// The panel run elevated as "--set-service-manual <service>": makes the service
// start on demand; the exit code tells how it went.
int SetServiceManual(Service service);

}  // namespace tellurix
