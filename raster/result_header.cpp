#include "raster/result_header.h"

#include <sys/types.h>

#include <cstdio>

#include "core/time_stamp.h"
#include "raster/text_reader.h"

namespace lumesta {
namespace {

// Template lines are taken as text lines of at most this many characters; a longer one is
// split and its pieces count as separate lines.
constexpr std::size_t kMaxTemplateLine = 299;

void WriteText(std::FILE* out, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), out);
}

void WriteLine(std::FILE* out, const std::string& text)
{
    WriteText(out, text + "\r\n");
}

// The template (null after its message when it cannot be opened; the writer then goes on with
// the lines that do not need it) and the output (null after its message).
struct HeaderFiles {
    FilePtr templateFile;
    FilePtr output;
};

const char kCannotWriteOutput[] = "Error - when writing to the output file!";

HeaderFiles OpenHeaderFiles(const std::string& templatePath, const std::string& outputPath,
                            Host& host)
{
    static const char kCannotReadTemplate[] = "Error - when reading the input header file!";
    HeaderFiles files;
    files.templateFile = OpenFileForReading(templatePath);
    if (!files.templateFile) host.ShowMessage(kCannotReadTemplate);
    files.output.reset(std::fopen(outputPath.c_str(), "wb"));
    if (!files.output) host.ShowMessage(kCannotWriteOutput);
    return files;
}

// Closes the output; false after the output message when any of its writes, its flush or its
// close failed (a full disk), since an empty or cut header would pass for a result.
bool CloseOutput(HeaderFiles& files, Host& host)
{
    std::FILE* out = files.output.release();
    bool written = !std::ferror(out) && std::fflush(out) == 0;
    written = std::fclose(out) == 0 && written;
    if (!written) host.ShowMessage(kCannotWriteOutput);
    return written;
}

// Walks through the template of an Idrisi32 header: template lines are copied or dropped, new
// lines written in between. A CR before a line end is not part of the line, so a CR LF
// template gives exactly one CR LF per output line.
class IdrisiTemplateCopy {
public:
    IdrisiTemplateCopy(std::FILE* templateFile, std::FILE* output)
        : m_in(templateFile), m_out(output)
    {
    }

    // Copies the next count lines; lines the template does not have are not written.
    void Copy(int count)
    {
        std::string line;
        for (int i = 0; i < count && m_in.ReadTextLine(line, kMaxTemplateLine); ++i) {
            WriteLine(m_out, line);
        }
    }
    void Drop(int count)
    {
        std::string line;
        for (int i = 0; i < count && m_in.ReadTextLine(line, kMaxTemplateLine); ++i) {
        }
    }
    void Write(const std::string& text) { WriteLine(m_out, text); }

    // Copies up to the end of the template. When the template ends with a line break, the
    // last read finds nothing and yields an empty line, which the lineage line replaces.
    void CopyRest()
    {
        std::string line;
        while (!m_in.HitEnd()) {
            if (!m_in.ReadTextLine(line, kMaxTemplateLine)) line.clear();
            WriteLine(m_out, line);
        }
    }

    // Moves back over the last CR LF and writes the lineage line without a line end.
    void WriteLineage(const std::string& text)
    {
        if (::fseeko(m_out, -2, SEEK_END) != 0) std::fseek(m_out, 0, SEEK_END);
        WriteText(m_out, text);
    }

private:
    TextFileReader m_in;
    std::FILE* m_out;
};

bool IsSamplesLine(const std::string& line)
{
    return line.size() >= 4 && line[0] == 's' && line[1] == 'a' && line[3] == 'p';
}

bool IsBandNamesStart(const std::string& head)
{
    return head.size() >= 6 && head[0] == 'b' && head[1] == 'a' && head[5] == 'n';
}

}  // namespace

bool WriteIdrisiResultHeader(const std::string& panName, const std::string& templatePath,
                             const std::string& outputPath, const IdrisiResultValues& values,
                             Host& host)
{
    HeaderFiles files = OpenHeaderFiles(templatePath, outputPath, host);
    if (!files.output) return false;
    IdrisiTemplateCopy header(files.templateFile.get(), files.output.get());
    header.Copy(1);  // file format
    header.Drop(1);
    header.Write("file title  : Pan-Sharpened with " + panName);
    header.Copy(2);  // data type, file type
    header.Write("columns     : " + std::to_string(values.columns));
    header.Write("rows        : " + std::to_string(values.rows));
    header.Drop(2);
    header.Copy(3);  // ref. system, ref. units, unit dist.
    header.Write("min. X      : " + values.minX);
    header.Write("max. X      : " + values.maxX);
    header.Write("min. Y      : " + values.minY);
    header.Write("max. Y      : " + values.maxY);
    header.Drop(4);
    header.Copy(2);  // pos'n error, resolution
    header.Drop(4);
    header.Write("min. value  : " + std::to_string(values.minValue));
    header.Write("max. value  : " + std::to_string(values.maxValue));
    header.Write("display min : " + std::to_string(values.displayMin));
    header.Write("display max : " + std::to_string(values.displayMax));
    header.CopyRest();
    header.WriteLineage("lineage     : This file was fused with the pan band " + panName);
    return CloseOutput(files, host);
}

bool WriteEnviResultHeader(const std::string& templatePath, const std::string& bandLabel,
                           const std::string& outputPath, int samples, int lines,
                           const std::string& bandText, Host& host)
{
    return WriteEnviResultHeader(templatePath, bandLabel, outputPath, samples, lines, bandText,
                                 std::time(nullptr), host);
}

bool WriteEnviResultHeader(const std::string& templatePath, const std::string& bandLabel,
                           const std::string& outputPath, int samples, int /*lines*/,
                           const std::string& bandText, std::time_t when, Host& host)
{
    HeaderFiles files = OpenHeaderFiles(templatePath, outputPath, host);
    if (!files.output) return false;
    std::FILE* out = files.output.get();
    WriteLine(out, "ENVI");
    WriteLine(out, "description = {");
    WriteLine(out, "  Pan Sharpen Result [" + TimeStamp(when) + "]}");
    WriteLine(out, "samples = " + std::to_string(samples));

    TextFileReader in(files.templateFile.get());
    std::string line;
    while (in.ReadTextLine(line, kMaxTemplateLine) && !IsSamplesLine(line)) {
    }
    // Everything between the samples and band names lines is copied; empty lines vanish.
    while (in.ReadTextLine(line, kMaxTemplateLine)) {
        const std::string head = line.substr(0, 13);
        if (IsBandNamesStart(head)) {
            WriteLine(out, head + "{");
            WriteText(out, "Lumesta Pan-sharpen (" + bandLabel + ":" + bandText + ")}");
            break;
        }
        if (!line.empty()) WriteLine(out, line);
    }
    return CloseOutput(files, host);
}

}  // namespace lumesta
