#pragma once
// Opening any image the program reads or writes for viewing, by its name: ENVI (".img" or its
// ".hdr"; any band count, interleave, byte order and the usual data types), Idrisi32 (".rst" or
// its ".rdc"; ".rgf" groups), GeoTIFF (".tif", "tiff"), 24-bit BMP (".bmp") and generic
// matrices (anything else; the caller supplies the size). Problems come back as a sentence
// saying why the file cannot be shown; nothing is shown to the user from here.

#include <memory>
#include <string>

#include "raster/raster_source.h"

namespace lumesta {

// What the user types for a headerless matrix.
struct MatrixSize {
    int width = 0;
    int height = 0;
    int sampleBytes = 2;  // 1: 8-bit unsigned, 2: 16-bit signed little-endian, 4: 32-bit float
};

// True when path names a headerless matrix (its size must be asked for).
bool NeedsMatrixSize(const std::string& path);

// Opens path; nothing (with error set) when it cannot be shown. matrix is used only for
// headerless matrices.
std::unique_ptr<RasterSource> OpenImage(const std::string& path, const MatrixSize& matrix,
                                        std::string& error);

// Refuses sizes no image has: a zero or negative side, more than a million columns or rows,
// more than 1024 bands, or more than 2^40 samples. False with error set.
bool CheckImageSize(std::int64_t width, std::int64_t height, std::int64_t bands,
                    std::string& error);

// The readers behind OpenImage for GeoTIFF, 24-bit BMP (blue, green, red bands; georeferenced
// by a world file beside it) and headerless matrices (as many bands as the file length holds).
// A GeoTIFF strip larger than maxBlockBytes is decoded row by row instead of whole.
std::unique_ptr<RasterSource> OpenGeoTiffSource(const std::string& path, std::string& error,
                                                std::int64_t maxBlockBytes = std::int64_t{64}
                                                                             << 20);
std::unique_ptr<RasterSource> OpenBmpSource(const std::string& path, std::string& error);
std::unique_ptr<RasterSource> OpenMatrixSource(const std::string& path, const MatrixSize& matrix,
                                               std::string& error);

}  // namespace lumesta
