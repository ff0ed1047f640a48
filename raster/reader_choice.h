#pragma once
// Which reader takes a file: the one decision every tool, the viewer and the type checks ask.
// Names decide, except for ".tif": a TIFF the strip reader can take stays with it, one it
// cannot take because of its layout (tiles, another sample type, rows beyond its bounds) is read
// through GDAL, and one libtiff cannot read at all stays with the strip reader, which refuses
// it as a damaged file.

#include <string>
#include <vector>

namespace lumesta {

enum class ReaderKind {
    Envi,         // ".img", its header ".hdr" beside it
    Idrisi,       // ".rst", its header ".rdc" beside it
    IdrisiGroup,  // ".rgf"
    StripTiff,    // ".tif" the strip reader takes (or refuses as damaged)
    Gdal,         // ".tiff", ".jp2", ".j2k", ".jpx", ".ntf", ".nitf", ".vrt", ".til", ".gpkg",
                  // and ".tif" files the strip reader cannot take
    Bmp,          // ".bmp" (the viewer shows it; for the tools it is a generic matrix)
    Matrix,       // any other name: a headerless matrix whose size is given
    Batch,        // ".bif": a batch input file, not an image
};

// The reader by name alone (any case); ".tif" answers StripTiff. Header names (".hdr", ".rdc")
// are not data names: they answer Matrix, as the tools take them.
ReaderKind ReaderByName(const std::string& path);

// The reader of path: ReaderByName, and for ".tif" the file's own layout (read with libtiff,
// nothing decoded). A ".tif" that cannot be opened answers StripTiff.
ReaderKind ChooseReader(const std::string& path);

// True for the names read through GDAL whatever they hold (".tiff", ".jp2", ...).
bool IsGdalName(const std::string& path);

// True when the tools extract the file into raw band files before a run reads it: a TIFF or
// any file read through GDAL. By name; ext is lower case without the dot ("tif", "jp2").
bool IsExtractedExtension(const std::string& ext);

// The extensions read through GDAL, lower case without the dot ("tiff", "jp2", ...), for the
// file dialogs' filters.
const std::vector<std::string>& GdalExtensions();

}  // namespace lumesta
