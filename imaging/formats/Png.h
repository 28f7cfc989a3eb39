#pragma once
// Portable Network Graphics through libpng and zlib: the reader (every colour type and depth,
// interlaced or not, transparency composited over a background) and the writer (the image's
// own depth, never interlaced).

#include "imaging/FileFormats.h"

#include <string_view>

namespace scenaria {

// Composite transparent pixels over the file's own background colour (bKGD) when it has one;
// otherwise, and with this off, over the image's FillColor. On by default.
extern bool PNGUseFileBackground;
// Store a gAMA chunk (1 / the image's Gamma) in written files. On by default.
extern bool PNGWriteGamma;

class TPNGFileFormatReader : public TFileFormatReader {
public:
    TPNGFileFormatReader();

    bool CanRead(const TFileHeader& header) const override;
    void Read(TPGStream& stream, TPixelGraphic& image, int index) const override;
    void GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const override;
};

class TPNGFileFormatWriter : public TFileFormatWriter {
public:
    TPNGFileFormatWriter();

    void Write(TPGStream& stream, TPixelGraphic& image) const override;
};

// The interface checks made before every PNG operation; exposed so that a mismatch can be
// shown without linking another library.
//
// The linked libpng must belong to the release series (major.minor) the wrapper was compiled
// against, since libpng keeps the layout of its public structures only within a series;
// otherwise EPixelGraphic names the structures whose sizes then differ.
void CheckPNGStructureSizes(unsigned linkedVersionNumber, unsigned builtVersionNumber);
// The identification strings of the linked libpng and zlib must begin like those of the
// headers compiled against ("1.6." and the zlib major version); otherwise
// EPGPNGFileFormatReaderWriter "PNG: Invalid library version".
void CheckPNGLibraryVersions(std::string_view libpngVersion, std::string_view zlibVersion);

} // namespace scenaria
