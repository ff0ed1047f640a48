// Build tool: writes the algorithms of the QGIS Processing provider (algorithms.json) from the
// option tables as dump_options prints them, so the provider's parameters, their choices,
// defaults and help follow lumesta-cli. The table below maps each CLI option to a Processing
// parameter; a parameter whose options are missing from the tables is left out, and so is an
// algorithm whose tool or essential inputs are missing, so each appears once its rows exist.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// What a Processing parameter is made of (the provider builds the QGIS object from the kind):
//   layer    one raster layer, its path after the option
//   layers   raster layers, every path after the one option
//   bands    one multi-band layer (--ms, or the first option) or one band layer per option
//   enum     one choice, static strings; enums: several, the option repeated per choice
//   integer  a whole number; number: a real number, unset unless given
//   text     free text, passed when not empty
//   file     an optional file written by the tool (the picture)
//   picture  the tool's picture as the result layer (OUTPUT)
//   raster   the result raster (OUTPUT); made by the provider when the tool lacks the option
//   table    the result table as CSV or HTML (OUTPUT), read from the tool's CSV output
//   rows     the result table as a layer without geometry
//   map      an optional raster written by the tool
//   arrows   the block offsets as a line layer of arrows; scale: their length per pan pixel
struct Parameter {
    const char* name;
    const char* options;  // blank-separated; the first one present gives choices and help
    const char* kind;
    const char* label;
    bool essential;  // the algorithm is left out without it
    bool always;     // made by the provider even when no option is present
};

struct Algorithm {
    const char* id;
    const char* tool;
    const char* name;
    const char* group;
    std::vector<Parameter> parameters;
};

const std::vector<Algorithm>& Algorithms()
{
    static const std::vector<Algorithm> algorithms = {
        {"pansharpen", "pansharpen", "Pan-sharpening, 16-bit", "Pan-sharpening",
         {{"PAN", "--pan", "layer", "Panchromatic band", true, false},
          {"MS", "--ms --blue --green --red --nir", "bands",
           "Multispectral image (one multi-band layer, or the Blue, Green, Red and NIR bands)", true,
           false},
          {"METHOD", "--method", "enum", "Fusion method", false, false},
          {"SENSOR", "--sensor", "enum", "Sensor", false, false},
          {"REGISTER", "--register", "text", "MS offset on the pan (auto, off or DX,DY)", false,
           false},
          {"NODATA", "--nodata", "number", "No-data value", false, false},
          {"FORMAT", "--format", "enum", "Output format", false, false},
          {"RGB", "--rgb", "text", "Picture bands (R,G,B, 1-based)", false, false},
          {"BMP", "--bmp", "file", "24-bit BMP picture", false, false},
          {"OUTPUT", "--output", "raster", "Pan-sharpened image", false, true}}},
        {"pansharpenetm", "pansharpen-etm", "Pan-sharpening, Landsat ETM+", "Pan-sharpening",
         {{"PAN", "--pan", "layer", "Panchromatic band", true, false},
          {"MS", "--ms --blue --green --red", "bands",
           "Multispectral image (one multi-band layer, or the Blue, Green and Red bands)", true,
           false},
          {"METHOD", "--method", "enum", "Fusion method", false, false},
          {"NODATA", "--nodata", "number", "No-data value", false, false},
          {"FORMAT", "--format", "enum", "Output format", false, false},
          {"RGB", "--rgb", "text", "Picture bands (R,G,B, 1-based)", false, false},
          {"BMP", "--bmp", "file", "24-bit BMP picture", false, false},
          {"OUTPUT", "--output", "raster", "Pan-sharpened image", false, true}}},
        {"combine", "combine", "Band combination, 16-bit", "Pictures",
         {{"MS", "--blue --green --red", "bands",
           "Bands (one multi-band layer, or the Blue, Green and Red bands)", true, false},
          {"BANDS", "--select", "text", "Selected bands (Blue, Green, Red entries, 1-based)", false,
           false},
          {"NODATA", "--nodata", "number", "No-data value", false, false},
          {"OUTPUT", "--bmp", "picture", "Colour composite", true, false}}},
        {"qualitywald", "quality wald", "Quality of each fusion method (Wald)", "Fusion quality",
         {{"PAN", "--pan", "layer", "Panchromatic band", true, false},
          {"MS", "--ms", "layers", "Multispectral bands (one multi-band layer or one per band)", true,
           false},
          {"RATIO", "--ratio", "integer", "Resolution ratio pan : MS", false, false},
          {"SENSOR", "--sensor", "enum", "Sensor", false, false},
          {"METHOD", "--method", "enums", "Fusion methods to test (all when none is chosen)", false,
           false},
          {"NODATA", "--nodata", "number", "No-data value", false, false},
          {"OUTPUT", "--format", "table", "Quality table (CSV or HTML)", true, false},
          {"TABLE", "--format", "rows", "Quality table layer", false, false}}},
        {"qualityreduced", "quality reduced", "Quality against a reference (reduced resolution)",
         "Fusion quality",
         {{"FUSED", "--fused", "layers", "Fused bands (one multi-band layer or one per band)", true,
           false},
          {"REFERENCE", "--reference", "layers",
           "Reference bands (one multi-band layer or one per band)", true, false},
          {"RATIO", "--ratio", "integer", "Resolution ratio pan : MS", false, false},
          {"CUT", "--cut", "integer", "Pixels left out at every border", false, false},
          {"NODATA", "--nodata", "number", "No-data value", false, false},
          {"MAP", "--map", "map", "Per-block Q2n map", false, false},
          {"OUTPUT", "--format", "table", "Quality table (CSV or HTML)", true, false},
          {"TABLE", "--format", "rows", "Quality table layer", false, false}}},
        {"qualityfull", "quality full", "Quality without a reference (full resolution)",
         "Fusion quality",
         {{"FUSED", "--fused", "layers", "Fused bands (one multi-band layer or one per band)", true,
           false},
          {"MS", "--ms", "layers", "Multispectral bands it was fused from", true, false},
          {"PAN", "--pan", "layer", "Panchromatic band", true, false},
          {"RATIO", "--ratio", "integer", "Resolution ratio pan : MS", false, false},
          {"SENSOR", "--sensor", "enum", "Sensor", false, false},
          {"NODATA", "--nodata", "number", "No-data value", false, false},
          {"MAP", "--map", "map", "Per-block QNR map", false, false},
          {"OUTPUT", "--format", "table", "Quality table (CSV or HTML)", true, false},
          {"TABLE", "--format", "rows", "Quality table layer", false, false}}},
        {"register", "register", "MS offset on the pan (registration)", "Registration",
         {{"PAN", "--pan", "layer", "Panchromatic band", true, false},
          {"MS", "--ms", "layers", "Multispectral bands (one multi-band layer or one per band)", true,
           false},
          {"RATIO", "--ratio", "integer", "Resolution ratio pan : MS", false, false},
          {"SENSOR", "--sensor", "enum", "Sensor", false, false},
          {"NODATA", "--nodata", "number", "No-data value", false, false},
          {"GRID", "--grid", "integer", "Blocks per side of the offset grid", false, false},
          {"SCALE", "--grid", "scale", "Arrow length per pan pixel of offset (pan pixels)", false,
           false},
          {"BLOCKS", "--grid", "arrows", "Offsets of the blocks (arrows)", false, false}}},
    };
    return algorithms;
}

// One row of the option tables.
struct Option {
    std::string metavar, kind, need;
    std::vector<std::string> filters, choices;
    std::string defaultText, help;
};

struct Tool {
    std::string summary;
    std::map<std::string, Option> options;
};

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    for (const auto& word : Split(text, ' '))
        if (!word.empty()) words.push_back(word);
    return words;
}

bool ReadTables(std::istream& in, std::map<std::string, Tool>& tools)
{
    Tool* current = nullptr;
    std::string line;
    while (std::getline(in, line)) {
        const auto fields = Split(line, '\t');
        if (fields.size() == 3 && fields[0] == "tool") {
            current = &tools[fields[1]];
            current->summary = fields[2];
        } else if (fields.size() == 9 && fields[0] == "option" && current) {
            Option option{fields[2], fields[3], fields[4], Words(fields[5]), Words(fields[6]),
                          fields[7], fields[8]};
            // "1|2" as the value of a number option lists its choices.
            if (option.choices.empty() && option.metavar.find('|') != std::string::npos &&
                option.metavar.find(' ') == std::string::npos)
                option.choices = Split(option.metavar, '|');
            current->options[fields[1]] = option;
        } else if (!line.empty()) {
            std::cerr << "make_qgis_algorithms: unexpected line: " << line << "\n";
            return false;
        }
    }
    return !tools.empty();
}

std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[(c >> 4) & 0xf];
            out += hex[c & 0xf];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string List(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + Quoted(items[i]);
    return out + "]";
}

bool Contains(const std::vector<std::string>& items, const std::string& item)
{
    for (const auto& candidate : items)
        if (candidate == item) return true;
    return false;
}

// The Processing parameter of one row of the map, or "" when the tool lacks its options.
std::string ParameterJson(const Parameter& parameter, const Tool& tool,
                          const std::map<std::string, Tool>& tools)
{
    std::vector<std::string> present;
    for (const auto& option : Words(parameter.options))
        if (tool.options.count(option)) present.push_back(option);
    const std::string kind = parameter.kind;
    // A table needs the tool's CSV output.
    const bool tableKind = kind == "table" || kind == "rows";
    if (tableKind && (present.empty() || !Contains(tool.options.at("--format").choices, "csv")))
        return "";
    if (present.empty() && !parameter.always) return "";

    // Results the provider makes from the tool's output need the option but are not it.
    Option option;
    const bool provided = tableKind || kind == "scale" || kind == "arrows";
    if (!present.empty() && !provided) option = tool.options.at(present.front());
    if (provided) present.clear();
    std::vector<std::string> choices = option.choices;
    // The methods quality wald tests are those pansharpen offers, "auto" aside.
    if (kind == "enums" && choices.empty() && tools.count("pansharpen") &&
        tools.at("pansharpen").options.count("--method")) {
        for (const auto& choice : tools.at("pansharpen").options.at("--method").choices)
            if (choice != "auto") choices.push_back(choice);
    }
    if ((kind == "enum" || kind == "enums") && choices.empty()) return "";

    // A choice's default as the tables state it; that of a number or free text is left to the
    // tool (it may depend on the other values: --ratio on the georeferencing, --select on the
    // files), so such a parameter is unset unless given.
    std::string defaultJson = "null";
    std::string help = option.help;
    const std::string& stated = option.defaultText;
    if (kind == "scale") {
        defaultJson = "20";
        help = "The arrows are drawn this many times longer than the offsets they show.";
    } else if (kind == "enum" && Contains(choices, stated)) {
        defaultJson = Quoted(stated);
    } else if (!stated.empty() && (kind == "enum" || kind == "text" || kind == "integer" ||
                                   kind == "number")) {
        help += (help.empty() ? "" : " ") + std::string("Unset: ") + stated + ".";
    }

    // Results the provider always makes, and inputs with a value, are never unset; files the
    // tool writes only on request are.
    bool optional = option.need == "optional" && !parameter.essential;
    if (parameter.always || kind == "table" || kind == "picture" || defaultJson != "null")
        optional = false;
    else if (kind == "rows" || kind == "file" || kind == "map" || kind == "arrows")
        optional = true;

    std::vector<std::string> filters;
    for (const auto& filter : option.filters)
        if (filter != "*") filters.push_back(filter);

    std::ostringstream out;
    out << "{\"name\": " << Quoted(parameter.name) << ", \"kind\": " << Quoted(kind)
        << ", \"options\": " << List(present) << ", \"label\": " << Quoted(parameter.label)
        << ", \"help\": " << Quoted(help) << ", \"optional\": " << (optional ? "true" : "false")
        << ", \"choices\": " << List(choices) << ", \"default\": " << defaultJson
        << ", \"filters\": " << List(filters) << "}";
    return out.str();
}

std::string AlgorithmsJson(const std::map<std::string, Tool>& tools)
{
    std::string out = "{\"algorithms\": [";
    bool first = true;
    for (const auto& algorithm : Algorithms()) {
        const auto found = tools.find(algorithm.tool);
        if (found == tools.end()) continue;
        std::vector<std::string> parameters;
        bool complete = true;
        for (const auto& parameter : algorithm.parameters) {
            const std::string json = ParameterJson(parameter, found->second, tools);
            if (json.empty() && parameter.essential) complete = false;
            if (!json.empty()) parameters.push_back(json);
        }
        if (!complete) continue;
        out += first ? "\n" : ",\n";
        first = false;
        out += std::string("  {\"id\": ") + Quoted(algorithm.id) +
               ", \"tool\": " + Quoted(algorithm.tool) + ", \"name\": " + Quoted(algorithm.name) +
               ", \"group\": " + Quoted(algorithm.group) +
               ", \"summary\": " + Quoted(found->second.summary) + ",\n   \"parameters\": [";
        for (std::size_t i = 0; i < parameters.size(); ++i)
            out += (i ? ",\n    " : "\n    ") + parameters[i];
        out += "]}";
    }
    return out + "\n]}\n";
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::cerr << "usage: make_qgis_algorithms OPTION_TABLES.tsv ALGORITHMS.json\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    std::map<std::string, Tool> tools;
    if (!in || !ReadTables(in, tools)) {
        std::cerr << "make_qgis_algorithms: cannot read the option tables from " << argv[1] << "\n";
        return 1;
    }
    const std::string temporary = std::string(argv[2]) + ".part";
    std::ofstream out(temporary, std::ios::binary);
    out << AlgorithmsJson(tools);
    out.close();
    if (!out || std::rename(temporary.c_str(), argv[2]) != 0) {
        std::remove(temporary.c_str());
        std::cerr << "make_qgis_algorithms: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
