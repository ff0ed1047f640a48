#pragma once
// Conversions from floating point to integers truncate toward zero throughout the system.
// Values outside the 32-bit range become INT32_MIN, the integer-indefinite value of the x86
// conversion instruction, so that even absurd inputs give reproducible bytes instead of
// undefined behaviour. Narrower integers keep the low bits of the 32-bit result.

#include <cmath>
#include <cstdint>

namespace lumesta {

inline std::int32_t TruncToInt(double value)
{
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;  // NaN included
    return static_cast<std::int32_t>(value);
}

inline std::int16_t TruncToInt16(double value)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(TruncToInt(value)));
}

inline std::uint8_t TruncToByte(double value)
{
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(TruncToInt(value)));
}

// Stores a 32-bit integer in a 16-bit sample, keeping its low 16 bits.
inline std::int16_t WrapToInt16(std::int32_t value)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value)));
}

}  // namespace lumesta
