#include "raster/reader_choice.h"

#include <algorithm>

#include "raster/file_name.h"
#include "raster/geotiff/geotiff_extract.h"

namespace lumesta {

const std::vector<std::string>& GdalExtensions()
{
    static const std::vector<std::string> kExtensions = {"tiff", "jp2", "j2k", "jpx", "ntf",
                                                         "nitf", "vrt", "til", "gpkg"};
    return kExtensions;
}

bool IsGdalName(const std::string& path)
{
    const std::string ext = ExtensionLower(path);
    const auto& all = GdalExtensions();
    return std::find(all.begin(), all.end(), ext) != all.end();
}

ReaderKind ReaderByName(const std::string& path)
{
    // The Parts' formats are told by their last four characters, as they always were.
    const std::string four = LastFourLower(path);
    if (four == ".img") return ReaderKind::Envi;
    if (four == ".rst") return ReaderKind::Idrisi;
    if (four == ".rgf") return ReaderKind::IdrisiGroup;
    if (four == ".tif") return ReaderKind::StripTiff;
    if (four == ".bif") return ReaderKind::Batch;
    if (four == ".bmp") return ReaderKind::Bmp;
    if (IsGdalName(path)) return ReaderKind::Gdal;
    return ReaderKind::Matrix;
}

ReaderKind ChooseReader(const std::string& path)
{
    const ReaderKind byName = ReaderByName(path);
    if (byName != ReaderKind::StripTiff) return byName;
    // A damaged TIFF stays with the strip reader, which refuses it: GDAL never retries it.
    return JudgeForStripReader(path) == StripReaderVerdict::Layout ? ReaderKind::Gdal
                                                                   : ReaderKind::StripTiff;
}

bool IsExtractedExtension(const std::string& ext)
{
    return ext == "tif" || ReaderByName("." + ext) == ReaderKind::Gdal;
}

}  // namespace lumesta
