#pragma once
// The scene the detail-injection engine fuses, read a row at a time: the pan, and the MS placed
// on the grid of the 23-tap upsampling (MS sample j on pan pixel R·j + R/2) at the run's shift,
// with their no data.
//
// A pan pixel is valid when the pan is valid there and its MS sample (j = x / R) lies inside
// the MS and is valid in every band; an MS sample is valid when the pan pixel it sits on is.
// The engine fuses the valid rectangle (the valid pixels' bounding box, widened to whole MS
// pixels) as if it were the whole scene: its filters, interpolation and statistics meet the
// rectangle's borders with their usual edge handling, so a fill reaching the image's border is
// handled exactly like the border. Inside the rectangle, invalid pixels (holes) read as the
// nearest valid ones, along the row first, then down the column; statistics leave them out,
// and the output marks them no data.
//
// A scene without no data whose MS lies on the pan's corners at W / R × H / R is read as it
// is, with nothing read beforehand. Otherwise one pass over the pan and the MS finds the
// rectangle and the rows that hold valid pixels first, unless no pixel can be invalid (no
// no-data values, and the placed MS covers the whole grid).

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/step_result.h"
#include "fusion/injection/injection_inputs.h"

namespace lumesta {

// A rectangle of the pan's grid whose sides are multiples of the ratio.
struct SceneWindow {
    std::int64_t x0 = 0;
    std::int64_t y0 = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
};

class SceneRows {
public:
    // inputs outlive the reader.
    explicit SceneRows(const InjectionInputs& inputs);

    // Finds the valid rectangle. "Nothing to fuse: ..." (Failed) when the scene holds no valid
    // pixel; a read failure shows readFailure; pump answering false answers Cancelled.
    StepResult Prepare(const std::string& readFailure, Host& host,
                       const std::function<bool()>& pump);

    // False for a scene read as it is (then the window is the whole pan and every pixel valid).
    bool Masked() const { return m_masked; }
    const SceneWindow& Window() const { return m_window; }
    // Whether the output marks no data: a no-data value or mask applies, or some pixel is
    // invalid (the MS leaves part of the pan). Otherwise every fused value stays as it is.
    bool MarksNoData() const
    {
        return m_masked && (m_anyInvalid || m_inputs.panNoData || m_inputs.msNoData ||
                            m_inputs.panMask || m_inputs.msMask);
    }
    // What the output holds at invalid pixels: the MS's no-data value, else 0.
    double NoDataValue() const { return m_inputs.msNoData.value_or(0.0); }

    // Rows first .. first + count − 1 of the window's pan, holes filled (count × width floats).
    bool ReadPan(std::int64_t first, std::int64_t count, float* out) const;
    // The window's MS rows first .. first + count − 1 of every band, holes filled: out[k] holds
    // count × width / R floats of band k.
    bool ReadMs(std::int64_t first, std::int64_t count, float* const* out) const;
    // Which of the window's MS samples are valid (1) in rows first .. first + count − 1.
    bool ReadMsValid(std::int64_t first, std::int64_t count, std::uint8_t* out) const;
    // Which pixels of pan row y (the whole width) are valid.
    bool ReadValid(std::int64_t y, std::uint8_t* out) const;

private:
    bool PanRow(std::int64_t y, float* values, std::uint8_t* valid) const;
    bool OwnRow(std::int64_t r, float* values, std::uint8_t* valid) const;
    bool FilledOwnRow(std::int64_t r, const float*& values) const;
    bool ReadOwnBatch(std::int64_t r) const;
    bool PlacedValid(std::int64_t i, const std::uint8_t*& valid) const;
    bool PlacedRow(std::int64_t i, float* values) const;
    bool ValidRow(std::int64_t y, std::uint8_t* out) const;
    bool MsSampleValid(std::int64_t i, std::uint8_t* out) const;
    StepResult FindWindow(const std::string& readFailure, Host& host,
                          const std::function<bool()>& pump);

    const InjectionInputs& m_inputs;
    int m_ratio;
    int m_bands;
    std::int64_t m_width, m_height;           // the pan
    std::int64_t m_msWidth, m_msHeight;       // the upsampling's MS grid: the pan over the ratio
    std::int64_t m_ownWidth, m_ownHeight;     // the MS as delivered
    std::int64_t m_shiftX = 0, m_shiftY = 0;  // whole MS pixels
    bool m_fractional = false;
    std::array<double, 6> m_tapsX{}, m_tapsY{};  // Lanczos-3 weights of the fraction
    bool m_masked = false;
    bool m_anyInvalid = false;  // some pan pixel is invalid
    bool m_allValid = false;  // masked, but every pixel valid: validity needs no reading
    SceneWindow m_window;
    std::vector<std::int64_t> m_panSource;  // window pan row → the row it reads
    std::vector<std::int64_t> m_msSource;   // window MS row → the row it reads
    std::vector<std::int64_t> m_ownSource;  // delivered MS row → the row it reads

    // Rows read last, kept for the rows that follow (the reads run on one thread).
    mutable std::vector<float> m_rowValues;
    mutable std::vector<std::uint8_t> m_rowValid;
    mutable std::int64_t m_placedValidRow = -1;
    mutable std::vector<std::uint8_t> m_placedValid;
    mutable std::vector<std::int64_t> m_cachedOwn;  // rows of m_ownCache, by slot
    mutable std::vector<float> m_ownCache;
    mutable std::vector<std::uint8_t> m_maskRow;  // one band's mask of a delivered MS row
    mutable std::vector<std::uint8_t> m_ownValid;  // where a delivered MS row is valid
    mutable std::vector<double> m_line;            // a band's row resampled down the columns
    mutable std::vector<float> m_placedRows;       // every band's placed row
    mutable std::vector<float> m_batch;            // one band's delivered rows read at once
};

// Fills the invalid entries of each row of values (rows of width entries each, count rows at
// stride apart) with the nearest valid entry of the same row, the left one on a tie. A row
// without a valid entry stays as it is.
void FillAlongRow(const std::uint8_t* valid, std::int64_t width, float* const* rows, int count);

}  // namespace lumesta
