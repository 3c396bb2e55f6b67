#pragma once

#include "cli/format.h"
#include "cli/inputs.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/progress.h"

namespace pelorin::cli {

/// Probes every item of `inputs` and writes its report to `output`, in input order, with
/// `options.jobs` workers (one per core when 0), each with a runtime context of its own. Items
/// go to the workers in chunks; finished chunks are written in order, and at most a few chunks
/// per worker are in flight, each bounded by the bytes of its paths as well as by their number,
/// so memory grows neither with the number of files nor with the length of their paths. A
/// worker that the system cannot start is done without. Stops early when the output fails.
/// Returns the tally of the reports written, added up in input order.
Tally probeAll(Inputs& inputs, const Options& options, Output& output, Progress& progress);

}  // namespace pelorin::cli
