#include "app/instance_lock.h"

namespace tellurix {

namespace {
// The session-local namespace lets each logged-on user have their own panel.
constexpr wchar_t kInstanceMutexName[] = L"Local\\TellurixAdmin.SingleInstance";
}  // namespace

bool InstanceLock::Acquire() {
  mutex_.reset(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
  if (mutex_ && GetLastError() != ERROR_ALREADY_EXISTS) return true;
  mutex_.reset();
  return false;
}

}  // namespace tellurix
