#pragma once
// What the band combination dialogs do when the user picks files or changes a band list.
// The desktop dialogs and lumesta-cli call these and then show or use the job record.

#include <string>

#include "core/host.h"
#include "composite/combine_job.h"

namespace lumesta {

// The Blue "..." choice: one band (ENVI, Idrisi32, GeoTIFF or a generic matrix), a multi-band
// ENVI or GeoTIFF file (its band names fill all three lists, the first three selected), or an
// Idrisi32 .rgf group of at least 4 bands. Reads the header with the job's reader
// (ReadHeader16 or ReadHeader8), fills Width and Height from it and derives the output names
// (the Blue path without its extension + "_Composite.bmp", and "_Composite.tif" for GeoTIFF).
// A .bif file arms batch mode instead: Width and Height become 0, the lists become the colour
// selectors ("Band 1" to "Band 4" for 16-bit data, the batch file's name for 8-bit data) and
// the file is read only when the job runs (combine_batch.h); any other choice disarms it.
// Messages: the header reader's and the group reader's ("Error - when reading the input *.rgf
// file.", "Idrisi32's Group Raster File (*.rgf) should contain at least 4 images.", ...).
// Returns false after a refusal; the band lists are then empty.
bool BrowseCombineBlue(BandCombinationJob& job, const std::string& path, Host& host);

// The "..." choice of Green or Red (band kCompositeGreen or kCompositeRed): the file becomes
// that band's only list entry. Refused with "Please enter the blue band first." while no
// Blue band is chosen; returns false then.
bool BrowseCombineBand(BandCombinationJob& job, int band, const std::string& path, Host& host);

// The 24-bit BMP "..." choice: takes the path; nothing is created (an existing file is the
// run's overwrite question). A path that is one of the inputs or their headers is refused with
// "<path> is an input of this run.\nChange the name of the 24-bit BMP." and returns false.
bool ChooseCombineBmp(BandCombinationJob& job, const std::string& path, Host& host);

// A band list's selection change: stores the index and the shown text; in a group the band's
// path becomes the group folder + entry + ".rst", in a multi-band file the index picks the band.
// An index outside the list changes nothing.
void SelectCombineBand(BandCombinationJob& job, int band, int index);

}  // namespace lumesta
