#include "support/run_context.h"

InstallPlan InstallPlan::ForInstallerFolder(const std::string& installerFolder) {
  InstallPlan plan;
  plan.installerFolder = installerFolder;
  plan.logPath = installerFolder + "\\ZEM7InstallLog.txt";
  return plan;
}
