#pragma once
// A look at the structure of a JPEG 2000 file before GDAL's driver decodes it: the codec
// behind it stops the whole program (an assertion) on some files whose marker segments reach
// beyond their codestream, so such files are refused first.

#include <string>

namespace lumesta {

// True when the file at path is a JP2 box sequence holding a codestream box, or a bare
// codestream, whose boxes lie within the file and whose marker segments and tile-parts lie
// within the codestream, or a file that cannot be opened (GDAL then says why). False with error
// set (a sentence naming the file) otherwise.
bool CheckJpeg2000Structure(const std::string& path, std::string& error);

}  // namespace lumesta
