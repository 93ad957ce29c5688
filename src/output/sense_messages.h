// The device statuses a tape write can return and the message shown for
// each: the SCSI-2 description of the additional sense code and qualifier,
// upper case, words joined by underscores.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "job/job.h"

namespace pravel {

inline constexpr int kSenseMessageRows = 189;

// The table's text for a status; nullopt when the table has no row for it.
std::optional<std::string_view> SenseMessageText(int status);
// The message shown for a status: the table's text, or "Unknown %lx error
// status received!" with the status in hexadecimal.
std::string SenseMessage(int status);
// Shows SenseMessage(status) with caption "SCSI Bus/Device Error!".
void ShowSenseMessage(Job& job, int status);

}  // namespace pravel
