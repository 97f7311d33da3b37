#include "servers/rescue_runner.h"

#include "core/file_io.h"
#include "core/text_lines.h"
#include "resources/texts.h"
#include "servers/service_diagnosis.h"
#include "servers/service_system.h"

namespace tellurix {

bool RescueRunner::Offer(bool mySQLRuns) {
  if (Busy() || !host_.Ask(text::kDataCopyQuestion)) return false;
  if (mySQLRuns) {
    waitingForStop_ = true;
  } else {
    StartCopy();
  }
  return true;
}

void RescueRunner::ServiceStopped() {
  if (!waitingForStop_) return;
  waitingForStop_ = false;
  StartCopy();
}

void RescueRunner::StartCopy() {
  // Refused while anything may still write the folder, or the drive lacks room.
  DataCopyCheck check = CheckDataCopy(ProgramDirectory());
  if (!check.refusals.empty()) {
    for (const std::string& line : check.refusals) host_.Report(line);
    return;
  }
  const std::string to = check.plan.to;
  if (!copy_.Start(window_, kMessage, std::move(check.plan))) return;
  progress_.Open(window_, text::kDataCopyCaption, FillIn(text::kDataCopyProgress, {to}), text::kCancel, [this] {
    progress_.SetLine(text::kDataCopyCancelling);
    copy_.Cancel();
  });
}

void RescueRunner::OnMessage(WPARAM kind, LPARAM percent) {
  if (kind == DataCopyJob::kProgress) {
    progress_.SetPercent(static_cast<unsigned>(percent));
    return;
  }
  if (const std::optional<CopyOutcome> outcome = copy_.Collect()) EndCopy(*outcome);
}

void RescueRunner::EndCopy(const CopyOutcome& outcome) {
  progress_.Close();
  const RunnerEvent event(host_);
  for (const std::string& line : CopyEndLines(outcome, copy_.plan().to)) host_.Report(line);
}

bool RescueRunner::MayQuit() {
  if (!Busy()) return true;
  if (!host_.Ask(text::kRescueQuitQuestion)) return false;
  waitingForStop_ = false;
  if (const std::optional<CopyOutcome> outcome = copy_.CancelAndWait()) EndCopy(*outcome);
  return true;
}

}  // namespace tellurix
