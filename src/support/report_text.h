#pragma once
// The wording of an error report, shared by the reporter and by the log's
// report of its own write failure: the two lines and the box's title.
#include <cstdint>
#include <string>
#include <string_view>

#include "support/texts.h"

constexpr TextId kReportTitle = IDS_TITLE_REPORT;

// "ERROR: <number>, <description>" CR LF "Location: <location>".
Message FormatErrorReport(int32_t number, const Message& description, std::string_view location);
