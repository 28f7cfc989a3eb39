// Clipboard transfer: a packed device-independent bitmap (clipboard format 8), a 40-byte
// header followed by the colour table and the pixel rows.

#include "imaging/Messages.h"
#include "imaging/PixelGraphic.h"
#include "imaging/Stream.h"
#include "imaging/formats/Bmp.h"

namespace scenaria {

namespace {

constexpr unsigned ClipboardDib = 8;
constexpr unsigned ClipboardBitmap = 2;
constexpr std::size_t InfoHeaderSize = 40;

} // namespace

// The block is a bitmap file without its file header, so the BMP reader and writer serve.
TClipboardData TPixelGraphic::SaveToClipboardFormat() const
{
    TPGMemoryStream stream;
    WriteBMPBody(stream, *this);
    return {ClipboardDib, stream.Data()};
}

void TPixelGraphic::LoadFromClipboardFormat(unsigned format, const std::uint8_t* data,
                                            std::size_t size)
{
    // A bitmap handle does not exist off Windows; format 2 data is taken as a packed DIB too.
    if ((format != ClipboardDib && format != ClipboardBitmap) || !data)
        throw EPGUnknownClipboardFormat(PGMessage(pgmUnknownClipboardFormat));
    if (size >= 4 && (data[0] | data[1] << 8 | data[2] << 16 | data[3] << 24) != InfoHeaderSize)
        throw EPGBMPFileFormatReader(
            "BMP: " + PGMessage(pgmInvalidSize, "BitmapInfoHeader/BitmapCoreHeader"));
    TPGBufferStream stream(data, size);
    BeginUpdate();
    try {
        ReadBMPBody(stream, *this, false);
        Gamma = DisplayGamma;
        IdentifyPalette();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

} // namespace scenaria
