#pragma once
// How many threads a parallel loop of a run may use. Results never depend on it: every
// parallel loop gives the same bytes for any count.

namespace lumesta {

// The processor count, at most `most` and at least 1; fewer when the environment variable
// LUMESTA_THREADS holds a smaller positive whole number (to share a machine, or to show that
// the bytes do not change).
unsigned WorkerThreads(unsigned most);

}  // namespace lumesta
