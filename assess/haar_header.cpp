#include "assess/haar_header.h"

#include <sys/types.h>

#include <cstdio>
#include <functional>
#include <utility>

#include "core/time_stamp.h"
#include "core/truncate.h"
#include "assess/number_text.h"
#include "raster/text_reader.h"

namespace lumesta {
namespace {

constexpr std::size_t kMaxTemplateLine = 255;
const char kCannotWriteOutput[] = "Error - when writing to the output file!";

using LineTest = std::function<bool(const std::string&)>;

bool CharactersAre(const std::string& line, std::size_t position, char first, char second,
                   char third)
{
    return line.size() > position && line[0] == first && line[1] == second &&
           line[position] == third;
}

// Copies a template into a header line by line (CR LF after each), dropping, replacing and
// adding lines on the way.
class TemplateCopy {
public:
    TemplateCopy(std::FILE* templateFile, std::FILE* output) : m_in(templateFile), m_out(output) {}

    void Write(const std::string& text)
    {
        if (std::fwrite(text.data(), 1, text.size(), m_out) != text.size()) m_failed = true;
    }
    void WriteLine(const std::string& text) { Write(text + "\r\n"); }

    void Copy(int count)
    {
        std::string line;
        for (int i = 0; i < count && m_in.ReadTextLine(line, kMaxTemplateLine); ++i)
            WriteLine(line);
    }
    void Drop(int count)
    {
        std::string line;
        for (int i = 0; i < count && m_in.ReadTextLine(line, kMaxTemplateLine); ++i) {
        }
    }
    // Drops lines up to and including the first that passes the test; false when none did.
    bool SkipPast(const LineTest& test)
    {
        std::string line;
        while (m_in.ReadTextLine(line, kMaxTemplateLine)) {
            if (test(line)) return true;
        }
        return false;
    }
    // Copies lines (empty ones too) until one passes the test, which is consumed and not
    // written; true when one did. Reaching the end of a template that ends with a line break
    // yields one last empty line, which MoveBackOverLastLineEnd then writes over.
    bool CopyUntil(const LineTest& test)
    {
        std::string line;
        while (!m_in.HitEnd()) {
            if (!m_in.ReadTextLine(line, kMaxTemplateLine)) line.clear();
            if (test(line)) return true;
            WriteLine(line);
        }
        return false;
    }
    void MoveBackOverLastLineEnd()
    {
        if (::fseeko(m_out, -2, SEEK_END) != 0) std::fseek(m_out, 0, SEEK_END);
    }
    // True when every write reached the file.
    bool Succeeded() const { return !m_failed; }

private:
    TextFileReader m_in;
    std::FILE* m_out;
    bool m_failed = false;
};

// Closes the header after its writes; a failed write or close removes it and shows the message.
bool FinishHeader(FilePtr output, const TemplateCopy& header, const std::string& path, Host& host)
{
    const bool closed = std::fclose(output.release()) == 0;
    if (closed && header.Succeeded()) return true;
    std::remove(path.c_str());
    host.ShowMessage(kCannotWriteOutput);
    return false;
}

bool IsBandsLine(const std::string& line)
{
    return CharactersAre(line, 3, 'b', 'a', 'd');
}
bool IsDataTypeLine(const std::string& line)
{
    return CharactersAre(line, 3, 'd', 'a', 'a');
}
bool IsBandNamesLine(const std::string& line)
{
    return CharactersAre(line, 5, 'b', 'a', 'n');
}
bool IsMinValueLine(const std::string& line)
{
    return CharactersAre(line, 5, 'm', 'i', 'v');
}

}  // namespace

bool WriteEnviHaarHeader(const std::string& templatePath, const std::string& outputPath,
                         const std::string& bandName, int width, int height, Host& host)
{
    return WriteEnviHaarHeader(templatePath, outputPath, bandName, width, height, std::time(nullptr),
                        host);
}

bool WriteEnviHaarHeader(const std::string& templatePath, const std::string& outputPath,
                         const std::string& bandName, int width, int height, std::time_t when,
                         Host& host)
{
    static const char kCannotReadTemplate[] = "Error - when reading the input header files!";
    const FilePtr templateFile = OpenFileForReading(templatePath);
    if (!templateFile) host.ShowMessage(kCannotReadTemplate);
    FilePtr output(std::fopen(outputPath.c_str(), "wb"));
    if (!output) {
        host.ShowMessage(kCannotWriteOutput);
        return false;
    }
    TemplateCopy header(templateFile.get(), output.get());
    header.WriteLine("ENVI");
    header.WriteLine("description = {");
    header.WriteLine("  Haar Wavelet Transform Result [" + TimeStamp(when) + "]}");
    header.WriteLine("samples = " + std::to_string(width));
    header.WriteLine("lines   = " + std::to_string(height));
    header.WriteLine("bands   = 1");
    const std::string bandNames =
        "band names = {\r\nHaar Wavelet Transform (Band:" + bandName + ")}";
    if (header.SkipPast(IsBandsLine)) {
        if (header.CopyUntil(IsDataTypeLine)) header.WriteLine("data type = 4");
        if (header.CopyUntil(IsBandNamesLine)) {
            header.Write(bandNames);
            return FinishHeader(std::move(output), header, outputPath, host);
        }
    }
    header.MoveBackOverLastLineEnd();
    header.Write(bandNames);
    return FinishHeader(std::move(output), header, outputPath, host);
}

bool WriteIdrisiHaarHeader(const std::string& templatePath, const std::string& inputPath,
                           double minimum, double maximum, const std::string& outputPath,
                           Host& host)
{
    static const char kCannotReadTemplate[] = "Error - when reading the input header file.";
    const FilePtr templateFile = OpenFileForReading(templatePath);
    if (!templateFile) host.ShowMessage(kCannotReadTemplate);
    FilePtr output(std::fopen(outputPath.c_str(), "wb"));
    if (!output) {
        host.ShowMessage(kCannotWriteOutput);
        return false;
    }
    TemplateCopy header(templateFile.get(), output.get());
    header.Copy(1);  // file format
    header.Drop(1);
    header.WriteLine("file title  : Haar Wavelet Transform for " + inputPath);
    header.Drop(1);
    header.WriteLine("data type   : real");
    header.CopyUntil(IsMinValueLine);
    header.WriteLine("min. value  : " + GeneralText(minimum));
    header.WriteLine("max. value  : " + GeneralText(maximum));
    header.WriteLine("display min : " + std::to_string(TruncToInt(minimum)));
    header.WriteLine("display max : " + std::to_string(TruncToInt(maximum)));
    header.Drop(3);  // the old max. value, display min and display max
    header.CopyUntil([](const std::string&) { return false; });
    header.MoveBackOverLastLineEnd();
    header.Write(
        "lineage     : This file was created by a Haar wavelet transform; the input image is " +
        inputPath);
    return FinishHeader(std::move(output), header, outputPath, host);
}

}  // namespace lumesta
