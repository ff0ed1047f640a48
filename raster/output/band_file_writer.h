#pragma once
// Multi-band result files written a strip at a time: ENVI BSQ (.img + .hdr, with map info and
// coordinate system string when georeferenced), GeoTIFF, and Cloud Optimized GeoTIFF (tiled
// 512, Deflate with predictor, internal overviews down to under 512 pixels). Every format
// carries the band names, the georeferencing and the no-data value given.
//
// The caller hands the rows in order, every band of a strip per call, as samples of the file's
// type (or as doubles, rounded and clipped to it). The writer writes only the names it was
// given: the run's staged names (core/run_files), renamed into place by the run's guard when
// the run has finished. What the writer makes besides (the COG's temporary files) is its
// own and removed on every path. Memory stays flat in the image size.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "core/host.h"
#include "core/run_files.h"
#include "raster/georeference.h"
#include "raster/raster_layout.h"

namespace lumesta {

enum class BandFileFormat { Envi, GeoTiff, Cog };

struct BandFileSpec {
    BandFileFormat format = BandFileFormat::GeoTiff;
    int width = 0;
    int height = 0;
    int bands = 0;
    SampleType type = SampleType::UInt16;  // UInt8, UInt16, Int16 or Float32
    std::vector<std::string> bandNames;    // one per band, or none
    Georeference geo;                      // written when valid
    std::optional<double> noData;          // declared for every band when set
    int threads = 0;                       // COG: threads compressing the tiles (0: per core)
};

// "envi", "geotiff", "cog": the format of that name; nothing for any other text.
std::optional<BandFileFormat> BandFileFormatNamed(const std::string& name);

// The files a result of this format at path consists of, the data file first: path and, for
// ENVI, the header beside it (path's last four characters replaced by ".hdr").
std::vector<std::string> BandFilePaths(BandFileFormat format, const std::string& path);

class BandFileWriter {
public:
    virtual ~BandFileWriter() = default;
    BandFileWriter(const BandFileWriter&) = delete;
    BandFileWriter& operator=(const BandFileWriter&) = delete;

    const BandFileSpec& Spec() const { return m_spec; }

    // The next rows rows of every band: bands[k] points at rows × width samples of band k, row
    // after row, of the type T that is the file's sample type (std::uint8_t, std::uint16_t,
    // std::int16_t, float). False after "Cannot write PATH." (with the reason for a row count
    // or sample type the file does not take).
    template <typename T>
    bool WriteRows(const T* const* bands, int rows)
    {
        if (!TakesType(SampleTypeOf<T>())) return false;
        m_pointers.assign(bands, bands + m_spec.bands);
        return Write(m_pointers.data(), rows);
    }
    // The same from doubles: integer types take the nearest integer (ties to even) clipped to
    // the type's range, Float32 the nearest float.
    bool WriteRows(const double* const* bands, int rows);

    // Completes the files once every row is written. keepGoing (optional) is asked between the
    // pieces of long work (the COG's tiles); false from it cancels. Finished when the files are
    // whole and closed; Stopped after a message; Cancelled.
    virtual RunOutcome Finish(const std::function<bool()>& keepGoing) = 0;

protected:
    BandFileWriter(const BandFileSpec& spec, std::string shownPath, Host& host);
    // Writes the strip (bands[k]: rows × width samples of the file's type); false after a
    // message.
    virtual bool WriteStrip(const void* const* bands, int rows) = 0;
    // Shows "Cannot write PATH." (with ": reason" when one is given: for what the file cannot
    // take, not for a write the system refused); returns false.
    bool Fail(const std::string& reason);
    // Fails unless every row was written.
    bool CheckComplete();

    BandFileSpec m_spec;
    std::string m_shownPath;  // the final name, for messages
    Host& m_host;
    int m_rowsWritten = 0;

private:
    template <typename T>
    static constexpr SampleType SampleTypeOf()
    {
        if constexpr (std::is_same_v<T, std::uint8_t>) return SampleType::UInt8;
        if constexpr (std::is_same_v<T, std::uint16_t>) return SampleType::UInt16;
        if constexpr (std::is_same_v<T, std::int16_t>) return SampleType::Int16;
        static_assert(std::is_same_v<T, std::uint8_t> || std::is_same_v<T, std::uint16_t> ||
                          std::is_same_v<T, std::int16_t> || std::is_same_v<T, float>,
                      "a sample type the writers take");
        return SampleType::Float32;
    }
    bool TakesType(SampleType type);
    bool Write(const void* const* bands, int rows);

    std::vector<const void*> m_pointers;
    std::vector<std::vector<unsigned char>> m_converted;
};

// Stores count doubles as samples of type (UInt8, UInt16, Int16: the nearest integer, ties to
// even, clipped to the range; Float32: the nearest float) at out, native byte order.
void StoreSamples(const double* values, std::size_t count, SampleType type, void* out);

// The shortest text that reads back as value, without exponent ("500000", "0.5", "-3"; "nan"), as
// the headers and descriptions of results write numbers whatever the locale.
std::string ExactNumberText(double value);

// Opens a writer of spec.format over stagedPaths (the names BandFilePaths gives for the final
// path, as the run's guard staged them, in that order). shownPath names the result in
// messages. Nothing after a message: "Cannot write PATH: REASON." for a type, size, no-data value
// or grid the format cannot hold, "Cannot write PATH." for a file that cannot be created.
std::unique_ptr<BandFileWriter> OpenBandFileWriter(const BandFileSpec& spec,
                                                   const std::vector<std::string>& stagedPaths,
                                                   const std::string& shownPath, Host& host);

// The same with the files staged by files for finalPath (they reach it at files.Commit()).
// Nothing after a message ("Cannot write PATH." when a name cannot be staged).
std::unique_ptr<BandFileWriter> OpenStagedBandFileWriter(const BandFileSpec& spec,
                                                         const std::string& finalPath,
                                                         RunFiles& files, Host& host);

}  // namespace lumesta
