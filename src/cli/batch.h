#pragma once

#include "cli/format.h"
#include "cli/inputs.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/pool_system.h"
#include "cli/progress.h"

namespace pelorin::cli {

/// Probes every item of `inputs` and writes its report to `output`, in input order, with
/// `options.jobs` workers (one per processor when 0, growing to 64 when the probes wait on the
/// device), each with a runtime context of its own. Items go to the workers in chunks; chunks
/// are written in order, and at most a few chunks per worker are in flight, each bounded by the
/// bytes of its paths and of its reports as well as by their number, so memory grows neither
/// with the number of files nor with the size of their paths or records. A worker that
/// `system` cannot start is done without. Stops early when the output fails or is interrupted.
/// Returns the tally of the reports made, added up in input order.
Tally probeAll(Inputs& inputs, const Options& options, Output& output, Progress& progress,
               PoolSystem& system = systemPool());

}  // namespace pelorin::cli
