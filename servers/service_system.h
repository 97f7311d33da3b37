// What the system says about the stack's services and the ports they use, and
// the one change of a service the panel makes itself (run elevated).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "servers/service_diagnosis.h"

namespace tellurix {

// The system's error code of opening the service with `access`; 0 when it opened.
unsigned long OpenServiceError(Service service, DWORD access);
ServiceState StateOf(Service service);

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

// A path's long form (8.3 short names expanded); the path itself when the file
// system cannot tell.
std::string LongPathOf(const std::string& path);

// The panel run elevated as "--set-service-manual <service>": makes the service
// start on demand; the exit code tells how it went.
int SetServiceManual(Service service);

}  // namespace tellurix
