#pragma once
// Where and how the samples of any raster the program reads are stored: ENVI (.img with .hdr;
// any integer or floating-point data type, BSQ, BIL or BIP, either byte order), Idrisi32 (.rst
// with .rdc; byte, integer, real), GeoTIFF (.tif; stripped, 8 to 64 bits, unsigned, signed or
// float, one or more bands, separate or interleaved planes), everything read through GDAL
// (ChooseReader: tiled .tif, .tiff, .jp2, .vrt, ...; any integer or float type) and generic
// matrices (any other name; width, height and the sample size given: 1 byte unsigned, 2 bytes
// signed little-endian). Headers are read by key here, for the analysis tools that take any
// type; the fusion tools keep their own positional readers.

#include <cstdint>
#include <string>

#include "core/host.h"
#include "raster/reader_choice.h"

namespace lumesta {

enum class SampleType {
    UInt8,
    Int8,
    UInt16,
    Int16,
    UInt32,
    Int32,
    UInt64,
    Int64,
    Float32,
    Float64
};

int SampleBytes(SampleType type);
bool IsIntegerType(SampleType type);

enum class Interleave { Bsq, Bil, Bip };

// Where and how a raster's samples are stored.
struct RasterLayout {
    std::string path;
    std::int64_t width = 0;
    std::int64_t height = 0;
    int bands = 1;
    SampleType type = SampleType::Int16;
    bool bigEndian = false;
    std::int64_t headerOffset = 0;
    Interleave interleave = Interleave::Bsq;
    bool tiff = false;  // a strip TIFF, read with libtiff
    ReaderKind reader = ReaderKind::Matrix;
};

// The size a generic matrix is read with (all 0 when not given).
struct GenericSize {
    int width = 0;
    int height = 0;
    int bytes = 0;
};

// Reads the layout of path from its header (the reader ChooseReader names: .img, .rst, .tif,
// GDAL-read files, anything else a generic matrix). Checks that the file can hold every sample
// it declares (a compressed TIFF at most kMaxDecodedPerStoredByte per stored byte),
// overflow-safe. False after one message: "Cannot read the header of PATH.", "PATH: unsupported
// data type.", "PATH: give --width, --height and --bytes for a headerless matrix.", "Cannot open
// PATH.", "PATH is shorter than its size says (truncated?).", or for GDAL-read files the
// reader's sentence naming the file.
bool DescribeRaster(const std::string& path, const GenericSize& generic, RasterLayout& layout,
                    Host& host);

}  // namespace lumesta
