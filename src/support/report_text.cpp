#include "support/report_text.h"

std::string FormatErrorReport(int32_t number, std::string_view description, std::string_view location) {
  std::string report = "ERROR: " + std::to_string(number) + ", ";
  report.append(description);
  report += "\r\nLocation: ";
  report.append(location);
  return report;
}
