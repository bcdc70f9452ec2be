#include "support/program_start.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "support/runtime_error.h"
#include "support/text.h"

namespace {

// The attribute that makes a process a member of the job from its creation
// on: started suspended and put in the job after, a program would outlive an
// installer killed in between, and never run on.
class JobAttribute {
 public:
  explicit JobAttribute(HANDLE job) : job_(job) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    buffer_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
    if (InitializeProcThreadAttributeList(list, 1, 0, &size)) {
      if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST, &job_, sizeof(job_), nullptr, nullptr))
        list_ = list;
      else
        DeleteProcThreadAttributeList(list);
    }
  }
  ~JobAttribute() {
    if (list_) DeleteProcThreadAttributeList(list_);
  }
  JobAttribute(const JobAttribute&) = delete;
  JobAttribute& operator=(const JobAttribute&) = delete;
  // Null on a system that has no such attribute (before Windows 10).
  LPPROC_THREAD_ATTRIBUTE_LIST List() const { return list_; }

 private:
  HANDLE job_;
  std::vector<char> buffer_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

enum class JobMembership { None, FromCreation, AssignedAfter };

// Under load, Wine now and then refuses a start with an internal error and
// takes the same start a moment later; no process exists after a refusal.
bool Create(const std::string& commandLine, STARTUPINFOEXW& startup, DWORD flags, PROCESS_INFORMATION& process) {
  for (int attempt = 1;; ++attempt) {
    // CreateProcessW may write into the command line, so it gets its own copy.
    std::wstring line = Widen(commandLine);
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup.StartupInfo,
                       &process))
      return true;
    if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 3) return false;
    Sleep(200);
  }
}

}  // namespace

UniqueHandle StartProgram(const std::string& commandLine, int windowStyle, HANDLE job) {
  if (windowStyle < 0 || windowStyle > SW_MAX) ThrowInvalidArgument();
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof(startup);
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = static_cast<WORD>(windowStyle);
  PROCESS_INFORMATION process{};
  std::optional<JobAttribute> attribute;
  if (job) attribute.emplace(job);
  JobMembership membership = !job                ? JobMembership::None
                             : attribute->List() ? JobMembership::FromCreation
                                                 : JobMembership::AssignedAfter;
  if (membership == JobMembership::FromCreation) {
    startup.lpAttributeList = attribute->List();
    // A system that cannot put the program in the job (a nested job, say) starts it the older way.
    if (!Create(commandLine, startup, EXTENDED_STARTUPINFO_PRESENT, process)) {
      startup.lpAttributeList = nullptr;
      membership = JobMembership::AssignedAfter;
    }
  }
  if (membership != JobMembership::FromCreation &&
      !Create(commandLine, startup, membership == JobMembership::AssignedAfter ? CREATE_SUSPENDED : 0, process))
    ThrowLastError();
  UniqueHandle started(process.hProcess), thread(process.hThread);
  // A system that cannot put the program in the job at all runs it without:
  // the installation must go on.
  if (membership == JobMembership::AssignedAfter) {
    AssignProcessToJobObject(job, started.Get());
    ResumeThread(thread.Get());
  }
  return started;
}
