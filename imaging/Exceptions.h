#pragma once
// The raster image library's exceptions. Each carries only its message; the messages come
// from the message table (imaging/Messages.h).

#include <stdexcept>
#include <string>

namespace scenaria {

class EPixelGraphic : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

#define SCENARIA_PG_EXCEPTION(Name)                                                                \
    class Name : public EPixelGraphic {                                                            \
    public:                                                                                        \
        using EPixelGraphic::EPixelGraphic;                                                        \
    }

SCENARIA_PG_EXCEPTION(EPGXYIndexOutOfRange);
SCENARIA_PG_EXCEPTION(EPGNoPalette);
SCENARIA_PG_EXCEPTION(EPGInvalidPaletteIndex);
SCENARIA_PG_EXCEPTION(EPGEmpty);
SCENARIA_PG_EXCEPTION(EPGCanWriteResolutionsEmpty);
SCENARIA_PG_EXCEPTION(EPGCannotWriteColorRes);
SCENARIA_PG_EXCEPTION(EPGFileFormatWritersEmpty);
SCENARIA_PG_EXCEPTION(EPGUnknownExtension);
SCENARIA_PG_EXCEPTION(EPGUnknownFileFormat);
SCENARIA_PG_EXCEPTION(EPGUnknownClipboardFormat);
SCENARIA_PG_EXCEPTION(EPGBMPFileFormatReader);
SCENARIA_PG_EXCEPTION(EPGJPGFileFormatReaderWriter);
SCENARIA_PG_EXCEPTION(EPGPNGFileFormatReaderWriter);
SCENARIA_PG_EXCEPTION(EPGPCXFileFormatReader);
SCENARIA_PG_EXCEPTION(EPGPxMFileFormatReader);
SCENARIA_PG_EXCEPTION(EPGPxMFileFormatWriter);
SCENARIA_PG_EXCEPTION(EPGTGAFileFormatReader);
SCENARIA_PG_EXCEPTION(EPGTIFFileFormatReader);
SCENARIA_PG_EXCEPTION(EPGTIFFileFormatWriter);
SCENARIA_PG_EXCEPTION(EPGWebPFileFormatReader);
SCENARIA_PG_EXCEPTION(EPGHEIFFileFormatReader);
SCENARIA_PG_EXCEPTION(EPGJXLFileFormatReader);
SCENARIA_PG_EXCEPTION(EPGInvalidBitCountNum);
SCENARIA_PG_EXCEPTION(EPGInvalidSize);

#undef SCENARIA_PG_EXCEPTION

} // namespace scenaria
