// The single-instance lock: a named mutex that only the one running panel holds.
// It is let go, and taken back, around a restart with administrator rights.
#pragma once

#include "ui/win32_handles.h"

namespace tellurix {

class InstanceLock {
 public:
  // True when no other panel holds the lock (this one then does).
  bool Acquire();
  void Release() { mutex_.reset(); }

 private:
  UniqueKernelHandle mutex_;
};

}  // namespace tellurix
