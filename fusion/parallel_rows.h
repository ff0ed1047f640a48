#pragma once
// Row-parallel loops of the fusion step.

#include <cstdint>
#include <functional>

namespace lumesta {

// Runs work(row) for rows 0 .. rows-1 on every core. The rows must be independent; this thread
// takes rows too and calls pump after each of its own; when pump answers false every thread
// stops and the result is false.
bool ForEachRowInParallel(std::int64_t rows, const std::function<void(std::int64_t)>& work,
                          const std::function<bool()>& pump);

}  // namespace lumesta
