#pragma once
// One stored sample of any type as a number (engine-internal, for the viewer's readers).

#include <cstdint>
#include <cstring>

#include "raster/raster_layout.h"

namespace lumesta {

// The value of the sample whose bytes start at bytes; bigEndian says the stored byte order
// (the machine is taken to be little-endian, as the raw band files are).
inline double SampleValue(const std::uint8_t* bytes, SampleType type, bool bigEndian)
{
    std::uint8_t ordered[8];
    const int count = SampleBytes(type);
    for (int i = 0; i < count; ++i) ordered[i] = bigEndian ? bytes[count - 1 - i] : bytes[i];
    switch (type) {
        case SampleType::UInt8:
            return ordered[0];
        case SampleType::Int8:
            return static_cast<std::int8_t>(ordered[0]);
        case SampleType::UInt16: {
            std::uint16_t v;
            std::memcpy(&v, ordered, 2);
            return v;
        }
        case SampleType::Int16: {
            std::int16_t v;
            std::memcpy(&v, ordered, 2);
            return v;
        }
        case SampleType::UInt32: {
            std::uint32_t v;
            std::memcpy(&v, ordered, 4);
            return v;
        }
        case SampleType::Int32: {
            std::int32_t v;
            std::memcpy(&v, ordered, 4);
            return v;
        }
        case SampleType::UInt64: {
            std::uint64_t v;
            std::memcpy(&v, ordered, 8);
            return static_cast<double>(v);
        }
        case SampleType::Int64: {
            std::int64_t v;
            std::memcpy(&v, ordered, 8);
            return static_cast<double>(v);
        }
        case SampleType::Float32: {
            float v;
            std::memcpy(&v, ordered, 4);
            return v;
        }
        case SampleType::Float64: {
            double v;
            std::memcpy(&v, ordered, 8);
            return v;
        }
    }
    return 0;
}

}  // namespace lumesta
