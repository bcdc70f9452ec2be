#include "support/report_text.h"

Message FormatErrorReport(int32_t number, const Message& description, std::string_view location) {
  return Message(IDS_ERROR_REPORT, {std::to_string(number), description, std::string(location)});
}
