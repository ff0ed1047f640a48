#pragma once
// The registration tool: opens the pan and the MS of a RegisterJob, estimates the MS's offset on
// the pan, and writes the estimate as text or JSON for standard output.

#include <string>

#include "core/host.h"
#include "core/run_log.h"
#include "fusion/registration/register_job.h"
#include "fusion/registration/registration.h"

namespace lumesta {

// Opens the inputs (a reader's message, a pan of several bands, an MS of other than 3 to 16
// bands or of bands that differ in size, a ratio that is not a power of two, an unknown
// sensor: the message and Stopped) and estimates into estimate. Cancelled when the host says
// so. Writes nothing.
RunOutcome RunRegister(const RegisterJob& job, Host& host, RegistrationEstimate& estimate);

// RunRegister with the tool's report block in the run's log: banner and inputs, then the
// estimate as text, the times and "Finished"; a run that stops or is cancelled, even on its
// inputs, ends the block with "Unsuccessful" or "Cancelled".
RunOutcome RunRegisterWithReport(const RegisterJob& job, RunCounters& counters, Host& host,
                                 RegistrationEstimate& estimate);

// The estimate as standard output shows it. Text: "dx", "dy" and "confidence" lines, a
// "not applied: REASON" line when it does not apply, then a table of the blocks. JSON: one
// object with "dx", "dy", "confidence", "applied", "reason" (when not applied) and "blocks"
// (objects with "row", "column", "dx", "dy", "confidence").
std::string FormatRegistration(const RegistrationEstimate& estimate, RegisterFormat format);

}  // namespace lumesta
