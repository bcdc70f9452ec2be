#include "support/report_text.h"

Message FormatErrorReport(int32_t number, std::string_view description, std::string_view location) {
  return Message(IDS_ERROR_REPORT, {std::to_string(number), std::string(description), std::string(location)});
}
