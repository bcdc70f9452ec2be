#include "support/program_start.h"

#include <windows.h>

#include <vector>

#include "support/runtime_error.h"
#include "support/text.h"

namespace {

// The attributes a program starts with. The job makes it a member of the
// job from its creation on: started suspended and put in the job after, a
// program would outlive an installer killed in between, and never run on.
// The handle list lets it inherit its output and nothing else of ours.
class StartAttributes {
 public:
  StartAttributes(HANDLE job, HANDLE inherited) : job_(job), inherited_(inherited) {
    DWORD count = (job ? 1 : 0) + (inherited ? 1 : 0);
    if (count == 0) return;
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, count, 0, &size);
    buffer_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
    if (!InitializeProcThreadAttributeList(list, count, 0, &size)) return;
    list_ = list;
    hasJob_ = job &&
              UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST, &job_, sizeof(job_), nullptr, nullptr);
    // Without the list, the program inherits every inheritable handle: it still runs.
    if (inherited)
      UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &inherited_, sizeof(inherited_), nullptr,
                                nullptr);
  }
  ~StartAttributes() {
    if (list_) DeleteProcThreadAttributeList(list_);
  }
  StartAttributes(const StartAttributes&) = delete;
  StartAttributes& operator=(const StartAttributes&) = delete;
  LPPROC_THREAD_ATTRIBUTE_LIST List() const { return list_; }
  // false on a system that has no such attribute (before Windows 10).
  bool HasJob() const { return hasJob_; }

 private:
  HANDLE job_;
  HANDLE inherited_;
  std::vector<char> buffer_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
  bool hasJob_ = false;
};

enum class JobMembership { None, FromCreation, AssignedAfter };

// Under load, Wine now and then refuses a start with an internal error and
// takes the same start a moment later; no process exists after a refusal.
bool Create(const std::string& commandLine, STARTUPINFOEXW& startup, DWORD flags, PROCESS_INFORMATION& process) {
  BOOL inherit = (startup.StartupInfo.dwFlags & STARTF_USESTDHANDLES) != 0;
  for (int attempt = 1;; ++attempt) {
    // CreateProcessW may write into the command line, so it gets its own copy.
    std::wstring line = Widen(commandLine);
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, inherit, flags, nullptr, nullptr, &startup.StartupInfo,
                       &process))
      return true;
    if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 3) return false;
    Sleep(200);
  }
}

}  // namespace

UniqueHandle StartProgram(const std::string& commandLine, int windowStyle, HANDLE job, HANDLE output) {
  if (windowStyle < 0 || windowStyle > SW_MAX) ThrowInvalidArgument();
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof(startup);
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = static_cast<WORD>(windowStyle);
  if (output) {
    startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdOutput = output;
  }
  PROCESS_INFORMATION process{};
  StartAttributes attributes(job, output);
  JobMembership membership = !job                  ? JobMembership::None
                             : attributes.HasJob() ? JobMembership::FromCreation
                                                   : JobMembership::AssignedAfter;
  startup.lpAttributeList = attributes.List();
  DWORD flags = (attributes.List() ? EXTENDED_STARTUPINFO_PRESENT : 0) |
                (membership == JobMembership::AssignedAfter ? CREATE_SUSPENDED : 0);
  bool created = Create(commandLine, startup, flags, process);
  // A system that cannot put the program in the job (a nested job, say) starts it the older way.
  if (!created && membership == JobMembership::FromCreation) {
    startup.lpAttributeList = nullptr;
    membership = JobMembership::AssignedAfter;
    created = Create(commandLine, startup, CREATE_SUSPENDED, process);
  }
  if (!created) ThrowLastError();
  UniqueHandle started(process.hProcess), thread(process.hThread);
  // A system that cannot put the program in the job at all runs it without:
  // the installation must go on.
  if (membership == JobMembership::AssignedAfter) {
    AssignProcessToJobObject(job, started.Get());
    ResumeThread(thread.Get());
  }
  return started;
}
