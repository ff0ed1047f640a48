#pragma once
// The fusion methods a pan-sharpening job can choose, one row each in the method table: the
// `--method` option, the dialogs' method lists, the report's method line, the quality
// protocol's list of methods and the manual pages all read that table. Also the coefficients
// the optimisation methods' regression fits.

#include <array>
#include <string>
#include <vector>

namespace lumesta {

// The --method value that ranks the classical methods on the scene and runs the best.
constexpr char kAutoMethodName[] = "auto";

// Which method a job runs: the key of its row in the method table.
enum class FusionMethod {
    Optimisation1 = 0,
    Optimisation2 = 1,
    Gsa = 2,
    GlpHpm = 3,
    Awlp = 4,
    Brovey = 5,
    GlpEbp = 6,
    GlpFs = 7,
    BdsdPc = 8,
    SceneCnn = 9
};

// Spatial filter choices of the 16-bit tool, in the order of the dialog's radio buttons.
enum class FilterType16 { Sharpen = 0, Detail = 1, None = 2 };

// How a method's run works: the regression of the two optimisation methods (improved bilinear
// resampling, residual, spatial filter), or the detail-injection engine (23-tap upsampling of
// the MS, the pan's detail injected by the method's own formula).
enum class MethodEngine { Optimisation, DetailInjection };

// Classical methods follow a fixed formula; learned ones carry trained weights and are run by
// the quality protocol only when named.
enum class MethodKind { Classical, Learned };

struct InjectionRecipe;  // the detail-injection engine's parts of a method (injection/)

struct FusionMethodRow {
    FusionMethod method;
    const char* name;        // the --method value; also the name in JSON and CSV results
    const char* label;       // the entry of the dialogs' method lists
    const char* reportName;  // after "Pan-Sharpening Method:\t" in the report
    const char* summary;     // what the --method help says after the name
    FilterType16 defaultFilter;  // the 16-bit tool's filter when the method is chosen
    bool needsSensor;            // shapes its filters by the sensor's Nyquist gains
    int minBands;                // the MS band counts it fuses
    int maxBands;
    MethodKind kind;
    MethodEngine engine;
    bool inLandsatTool;  // also offered by the Landsat ETM+ tool (every method is in the 16-bit tool)
    // The degradation, fit and row formula of a detail-injection method; none for the others.
    const InjectionRecipe* injection;
};

using MethodTable = std::vector<FusionMethodRow>;

// Every method in the order the 16-bit dialog lists them. No name or label contains another's.
const MethodTable& FusionMethods();

// The row of a method of the table (the first row when the method has none).
const FusionMethodRow& MethodRowOf(FusionMethod method);

// The row named name (a --method value) in table, or nothing.
const FusionMethodRow* FindMethod(const std::string& name, const MethodTable& table = FusionMethods());

// The methods a tool's dialog lists, in order: every row for the 16-bit tool, the rows marked
// inLandsatTool for the Landsat tool.
std::vector<FusionMethod> MethodsOfTool(bool landsatTool, const MethodTable& table = FusionMethods());

// The method's name as the dialogs list it.
inline const char* MethodLabel(FusionMethod method)
{
    return MethodRowOf(method).label;
}

// True for the methods that upsample the MS with the 23-tap interpolator and inject the pan's
// detail themselves (no regression residual, no default spatial filter).
inline bool InjectsDetail(FusionMethod method)
{
    return MethodRowOf(method).engine == MethodEngine::DetailInjection;
}

// How the method brings the MS bands to the pan's size, as the dialogs show it and the report
// names it: the detail-injecting methods upsample with the 23-tap interpolator.
inline const char* ResamplingLabel(FusionMethod method)
{
    return InjectsDetail(method) ? "23-Tap Interpolator" : "Improved Bilinear";
}

// The fitted coefficients of N MS bands as single-precision values: for Optimisation 1
// c[0 .. N-1] belong to the bands in order; for Optimisation 2 c[0] is the intercept and
// c[1 .. N] the bands.
template <int N>
struct BandCoefficients {
    FusionMethod method = FusionMethod::Optimisation1;
    std::array<float, N + 1> c{};
    int Count() const { return method == FusionMethod::Optimisation1 ? N : N + 1; }
};

}  // namespace lumesta
