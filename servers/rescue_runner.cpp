#include "servers/rescue_runner.h"

#include <memory>

#include "core/file_io.h"
#include "core/text_lines.h"
#include "resources/texts.h"
#include "servers/service_diagnosis.h"
#include "servers/service_system.h"
#include "ui/win32_text.h"

namespace tellurix {

namespace {

bool IsFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool RescueRunner::AskStep(std::string_view question) {
  asking_ = true;
  const bool yes = host_.Ask(question);
  asking_ = false;
  return yes;
}

bool RescueRunner::Offer(bool mySQLRuns) {
  if (Busy() || !AskStep(text::kDataCopyQuestion)) return false;
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
  if (kind == kStepLine) {
    const std::unique_ptr<std::string> line(reinterpret_cast<std::string*>(percent));
    progress_.SetLine(*line);
    return;
  }
  if (kind == kStepEnded) {
    if (worker_) EndWorker();
    return;
  }
  if (kind == DataCopyJob::kProgress) {
    progress_.SetPercent(static_cast<unsigned>(percent));
    return;
  }
  if (const std::optional<CopyOutcome> outcome = copy_.Collect()) EndCopy(*outcome);
}

void RescueRunner::EndCopy(const CopyOutcome& outcome) {
  progress_.Close();
  {
    const RunnerEvent event(host_);
    for (const std::string& line : CopyEndLines(outcome, copy_.plan().to)) host_.Report(line);
  }
  if (NextRescueStep(RescueStep::Copy, outcome.end == CopyOutcome::End::Copied) != RescueStep::Rescue) return;
  if (!AskStep(RescueStepQuestion(RescueStep::Rescue))) return;
  // A server that checks no passwords is reached only through a pipe of a name
  // nobody can guess; without one there is no rescue.
  const std::string pipe = NewRescuePipeName();
  if (pipe.empty()) return;
  const std::string home = ProgramDirectory();
  setup_ = StackRescueSetup(home, IsFile(StackInstallerPath(home)), copy_.plan().from, copy_.plan().to,
                            NamedPipeTransport(pipe));
  StartWorker(false);
}

RescueRunner::~RescueRunner() {
  cancel_ = true;
  if (worker_) {
    WaitForSingleObject(worker_, INFINITE);
    CloseHandle(worker_);
  }
}

void RescueRunner::StartWorker(bool rebuild) {
  rebuilding_ = rebuild;
  cancel_ = false;
  worker_ = CreateThread(nullptr, 0, Work, this, 0, nullptr);
  if (!worker_) return;
  progress_.Open(window_, rebuild ? text::kRebuildCaption : text::kRescueCaption,
                 rebuild ? text::kRebuildCaption : text::kRescueCaption, text::kCancel, [this] { cancel_ = true; });
}

DWORD WINAPI RescueRunner::Work(LPVOID parameter) {
  auto* runner = static_cast<RescueRunner*>(parameter);
  const HWND window = runner->window_;
  const std::unique_ptr<RescueSystem> system = MakeWin32RescueSystem(runner->cancel_, [window](const std::string& line) {
    PostMessageW(window, kMessage, kStepLine, reinterpret_cast<LPARAM>(new std::string(line)));
  });
  if (runner->rebuilding_) {
    runner->rebuilt_ = RunRebuild(*system, runner->setup_, runner->rescued_);
  } else {
    runner->rescued_ = RunRescue(*system, runner->setup_);
  }
  PostMessageW(window, kMessage, kStepEnded, 0);
  return 0;
}

void RescueRunner::EndWorker() {
  WaitForSingleObject(worker_, INFINITE);
  CloseHandle(worker_);
  worker_ = nullptr;
  progress_.Close();
  const bool rebuilt = rebuilding_;
  {
    const RunnerEvent event(host_);
    // The flow's lines are also the notes' lines; in the list each ends as every line does.
    for (const std::string& line : rebuilt ? rebuilt_.lines : rescued_.lines) host_.Report(MessageLine(line));
    if (!rebuilt && !RebuildOffered(rescued_)) {
      if (const std::optional<std::string> line = RebuildNotOfferedLine(rescued_)) host_.Report(MessageLine(*line));
    }
  }
  if (rebuilt) {
    if (rebuilt_.done && startMySQL_) startMySQL_();
    return;
  }
  if (NextRescueStep(RescueStep::Rescue, true, &rescued_) != RescueStep::Rebuild) return;
  if (AskStep(RescueStepQuestion(RescueStep::Rebuild))) StartWorker(true);
}

bool RescueRunner::MayQuit() {
  if (!Busy()) return true;
  if (!host_.Ask(text::kRescueQuitQuestion)) return false;
  waitingForStop_ = false;
  copy_.CancelAndWait();
  if (worker_) {
    // The flow shuts its server down whatever happened; the folders stay.
    cancel_ = true;
    WaitForSingleObject(worker_, INFINITE);
    CloseHandle(worker_);
    worker_ = nullptr;
  }
  return true;
}

}  // namespace tellurix
