// The portable half of the file writes: what a failed replace leaves to do.
#include "core/file_io.h"

namespace tellurix {

AfterFailedReplace RecoveryAfterFailedReplace(TargetAfterFailedReplace target) {
  switch (target) {
    case TargetAfterFailedReplace::Unchanged: return AfterFailedReplace::DeleteTemporary;
    case TargetAfterFailedReplace::Missing: return AfterFailedReplace::MoveTemporaryIntoPlace;
    case TargetAfterFailedReplace::Changed: break;
  }
  return AfterFailedReplace::KeepTemporary;
}

}  // namespace tellurix
