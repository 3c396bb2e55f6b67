#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "probe/reports.h"
#include "runtime/context.h"

namespace pelorin {

/// What one probe ended with: the report it showed, the values behind it and the box's texts,
/// for front ends that show more than the message box.
struct ProbeOutcome {
  Report report = Report::kOpenFailure;
  SondurValues values;
  std::int32_t errorNumber = 0;  // the open failure's error; 0 on every other report
  std::string errorDescription;
  std::string_view title = kApplicationTitle;  // the title of the box the probe showed
  Prompt prompt;                               // the prompt of that box
  double result = 0;  // the probe's result: the length after the information report, else 0
};

/// Probes the file `FileName`: decides whether it is a RIFF/WAVE sound file, reads its format
/// fields and data size, works out how long the sound plays and shows exactly one message box
/// through `ctx`, returning once the box is dismissed. The file is read, never written, and is
/// closed before the box is shown.
///
/// `reuse` is an earlier outcome whose texts' storage the new one takes over, so that probing
/// many files allocates nothing per file: `outcome = probeWaveFile(ctx, path, std::move(outcome))`.
ProbeOutcome probeWaveFile(RuntimeContext& ctx, const std::string& FileName,
                           ProbeOutcome reuse = {});

/// Probes `FileName` as probeWaveFile() does and returns the length in seconds, or 0 when the
/// file cannot be opened, is 44 bytes or fewer, or has the wrong identifiers.
double GetSondur(RuntimeContext& ctx, const std::string& FileName);

}  // namespace pelorin
