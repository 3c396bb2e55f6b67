#pragma once

#include <cstdint>
#include <string>

#include "probe/reports.h"
#include "runtime/context.h"

namespace pelorin {

/// What one probe ended with, for front ends that show more than the message box. Reusing one
/// outcome for many probes reuses its texts' storage.
struct ProbeOutcome {
  Report report = Report::kOpenFailure;
  SondurValues values;
  std::int32_t errorNumber = 0;  // the open failure's error; 0 on every other report
  std::string errorDescription;
  Text prompt;  // the prompt of the box the probe showed

  /// Back to the starting values, keeping the texts' storage.
  void reset();
};

/// Probes the file `FileName`: decides whether it is a RIFF/WAVE sound file, reads its format
/// fields and data size, works out how long the sound plays, shows exactly one message box
/// through `ctx` and returns the length in seconds once the box is dismissed (0 when the file
/// cannot be opened, is 44 bytes or fewer, or has the wrong identifiers). The file is read, never
/// written, and is closed before the box is shown. When `outcome` is given it receives the
/// report and the values behind it.
double GetSondur(RuntimeContext& ctx, const std::string& FileName, ProbeOutcome* outcome = nullptr);

}  // namespace pelorin
