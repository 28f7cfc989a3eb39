#pragma once
// TPixelGraphic: the library's in-memory raster image, 1, 4, 8 or 24 bits per pixel.
//
// For code that fills or reads an image (format readers and writers, the composition, the
// viewer):
//  - Size it first: SetSize(width, height, bc8Bit). SetSize zeroes the pixels, refuses
//    negative or oversized sizes with EPGInvalidSize and never leaves a half-made image.
//  - Pixels are plain memory laid out like a Windows DIB: rows bottom-up, each RowStride()
//    bytes (padded to 4), ScanLine(y) is row y counted from the top. 24-bit pixels are stored
//    blue, green, red; 8-bit one index per byte; 4-bit the left pixel in the high nibble;
//    1-bit the leftmost pixel in bit 7. Reading or writing a whole row through ScanLine is the
//    fast path; GetPixel/SetPixel are per pixel and check their coordinates.
//  - Palette: SetPaletteCount(n) (n <= 256), then SetPaletteEntry(i, RGB(r, g, b)) for each
//    entry, or SetPaletteIdent(pGray256) etc. for a standard palette. Call IdentifyPalette()
//    when done so that PaletteIdent tells the kind (writers and the viewer rely on it). A
//    24-bit image has PaletteIdent pTrueColor and no entries.
//  - Colours are TColor values, red in the low byte (imaging/Types.h).
//  - Failures are exceptions derived from EPixelGraphic (imaging/Exceptions.h) whose texts
//    come from PGMessage (imaging/Messages.h), e.g.
//    throw EPGBMPFileFormatReader("BMP: " + PGMessage(pgmInvalid, "Index")).
//  - Long operations report through OnProgressStart, OnProgress (with an abort flag) and
//    OnProgressEnd; DoProgressStart/DoProgress/DoProgressEnd fire them.
//  - After loading, a reader's caller runs ApplyGammaCorrection() and IdentifyPalette().
//  - Loading and saving (LoadFromFile, SaveToFile, the streams) live in PixelGraphicFiles.cpp
//    and hand the work to the registries of imaging/FileFormats.h. LoadFromClipboardFormat
//    reads uncompressed packed DIBs itself; the BMP body reader (ReadBMPBody,
//    imaging/formats/Bmp.h) can take over.
// The class is used by one thread at a time; separate images may live on separate threads.

#include "imaging/Exceptions.h"
#include "imaging/Types.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace scenaria {

class TPGCanvas;
class TRowSink;
class TPGStream;
class TPixelGraphic;

using TPGNotifyEvent = std::function<void(TPixelGraphic& sender)>;
// step of max done; setting abort stops the operation after this step.
using TPGProgressEvent = std::function<void(TPixelGraphic& sender, int step, int max, bool& abort)>;

// Library-wide settings, set once when the program starts.
extern double DisplayGamma;  // 1.8
extern bool GammaCorrection; // on
// Whether ApplyGammaCorrection changes the pixels of an image read at this gamma.
bool GammaCorrectionNeeded(double gamma);

// The most pixel bytes one image may hold; SetSize refuses more with EPGInvalidSize. A
// hostile header cannot make the library reserve more than this.
inline constexpr std::uint64_t MaxImageBytes = std::uint64_t{1} << 30;

// Bits per pixel of a bit count (1, 4, 8, 24), and back; the latter raises
// EPGInvalidBitCountNum "Invalid value for BitCountNum" for anything else.
int BitCountToNum(TBitCount bitCount);
TBitCount NumToBitCount(int bits);

// The palette index in column x of a row of a 1-, 4- or 8-bit image, packed as above. Every
// loop that reads indices row by row goes through this, so the packing lives in one place.
inline std::uint32_t RowIndex(const std::uint8_t* row, int x, TBitCount bitCount)
{
    switch (bitCount) {
    case bc1Bit:
        return row[x >> 3] >> (7 - (x & 7)) & 1;
    case bc4Bit:
        return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    default:
        return row[x];
    }
}

// A packed DIB as the clipboard carries it (format 8).
struct TClipboardData {
    unsigned Format = 0;
    std::vector<std::uint8_t> Data;
};

class TPixelGraphic {
public:
    TPixelGraphic();
    virtual ~TPixelGraphic();
    TPixelGraphic(const TPixelGraphic&) = delete;
    TPixelGraphic& operator=(const TPixelGraphic&) = delete;

    // Plain settings.
    bool Dither = true;
    std::uint8_t DitherErrorLimit = 32; // 255 = unlimited
    bool DitherErrorLimitAuto = true;
    bool DitherErrorLimitSoft = true;
    bool FastDecoding = false; // asks the JPEG reader for its fast transform
    // Where a reader that can may send the rows it decodes (imaging/RowSink.h); not copied.
    TRowSink* RowSink = nullptr;
    double Gamma; // of the pixels as read; DisplayGamma after correction
    TStretchMode StretchMode = smPrecise;
    bool Transparent = false; // stored and copied; drawing ignores it
    TPGWarningAction ReadWarningAction = pgwaOKCancelBox;
    bool RangeCheck = false; // out-of-range pixel access raises instead of being ignored
    TPGWarningAction SaveColorResWarningAction = pgwaOKCancelBox;
    // How the camera held the picture, as Exif numbers it (1 upright ... 8): set by the reader,
    // the pixels stay as stored. ApplyOrientation (imaging/Orientation.h) turns them upright.
    int Orientation = 1;

    // Events; Sender is this image.
    TPGNotifyEvent OnChange;
    TPGProgressEvent OnProgress;
    TPGNotifyEvent OnProgressStart;
    TPGNotifyEvent OnProgressEnd;

    // Size and format. SetSize with the current values only clears the image.
    void SetSize(int width, int height, TBitCount bitCount);
    int Width() const { return width_; }
    int Height() const { return height_; }
    TBitCount BitCount() const { return bitCount_; }
    void SetWidth(int width);
    void SetHeight(int height);
    void SetBitCount(TBitCount bitCount);
    int BitCountNum() const { return BitCountToNum(bitCount_); }
    int PaletteCapacity() const; // 2, 16, 256 or 0
    int RowStride() const { return rowStride_; }
    std::size_t ImageSize() const { return imageSize_; }
    bool Empty() const { return !pixels_; }
    std::uint8_t* PixelData() { return pixels_.get(); }
    const std::uint8_t* PixelData() const { return pixels_.get(); }
    // Row y (0 = top); null for an empty image. A row outside the image raises
    // EPGXYIndexOutOfRange whatever RangeCheck says: a pointer there would be unusable.
    std::uint8_t* ScanLine(int y);
    const std::uint8_t* ScanLine(int y) const;
    // Fills every pixel with the fill value, then Changed.
    void Clear();

    // Raw pixel values: palette indices, or colours for 24-bit images.
    std::uint32_t GetPixel(int x, int y) const;
    void SetPixel(int x, int y, std::uint32_t value);
    TColor GetPixelColor(int x, int y) const;
    void SetPixelColor(int x, int y, TColor color);

    // The fill value is raw (an index for palette images); FillColor is it as a colour.
    std::uint32_t FillValue() const { return fillColor_; }
    void SetFillValue(std::uint32_t value) { fillColor_ = value; }
    TColor FillColor() const;
    void SetFillColor(TColor color);

    // Palette.
    int PaletteCount() const { return paletteCount_; }
    virtual void SetPaletteCount(int count);
    // For pTrueColor the entry is i itself; otherwise i must be below PaletteCount.
    TColor PaletteEntry(int i) const;
    virtual void SetPaletteEntry(int i, TColor color);
    TPaletteIdent PaletteIdent() const { return paletteIdent_; }
    virtual void SetPaletteIdent(TPaletteIdent kind);
    void IdentifyPalette();
    void CopyPalette(const TPixelGraphic& source);
    bool IsGray() const { return isGray_; }
    // What a pixel value shows, for all 256 values: the palette entry, entry 0 (or black)
    // for values beyond PaletteCount, the value itself for pTrueColor.
    void GetColorTable(std::array<TColor, 256>& table) const;

    // Nearest palette index of a colour by the palette kind's rule; the colour itself for
    // pTrueColor; raises EPGNoPalette without a palette.
    virtual std::uint32_t NearestIndex(TColor color);
    virtual void InvalidateColorCache();
    bool UseColorCache() const { return useColorCache_; }
    virtual void SetUseColorCache(bool value);
    bool RGBWeighting() const { return rgbWeighting_; }
    virtual void SetRGBWeighting(bool value);
    int Luminance(TColor color) const { return scenaria::Luminance(color, rgbWeighting_); }

    // Change notification: Changed calls OnChange unless an update is under way.
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    void Changed();

    // Progress notification for long operations; DoProgress returns true when aborted.
    void DoProgressStart();
    bool DoProgress(int step, int max);
    void DoProgressEnd();

    // Copies a whole image with its palette and settings; null empties this image.
    void Assign(const TPixelGraphic* source);

    // Maps the pixels (or palette) from Gamma to DisplayGamma when they differ by more than
    // 5 % and GammaCorrection is on; Gamma becomes DisplayGamma.
    void ApplyGammaCorrection();

    // The canvas drawing into this image, created on first use.
    TPGCanvas& Canvas();
    // Stretches this image onto a rectangle of the canvas's image, nearest pixel.
    void Draw(TPGCanvas& canvas, const TRect& rect) const;

    // Copies a rectangle of source onto a rectangle of this image, resampling by StretchMode
    // when the sizes differ and reducing colours (dithered when Dither is on) to this image's
    // palette. CopyFrom copies the whole source onto the whole image.
    void CopyRect(const TPixelGraphic& source, int srcX, int srcY, int srcWidth, int srcHeight,
                  int dstX, int dstY, int dstWidth, int dstHeight);
    void CopyFrom(const TPixelGraphic& source);

    // Picture files and streams (imaging/FileFormats.h chooses the reader or writer). Loading
    // picks the reader by the data's first bytes, the extension only for formats without a
    // signature; a failure leaves the image as far as the reader got. Saving picks the writer
    // by the extension and converts a copy when the writer cannot store the image's colour
    // resolution (SaveColorResWarningAction decides whether it may); SaveToFile never leaves a
    // partial file behind. SaveToStream writes a BMP; WriteData/ReadData keep a length-prefixed
    // BMP inside a larger stream.
    void LoadFromFile(const std::string& fileName, int index = 0);
    void LoadFromStream(TPGStream& stream);
    void LoadFromStreamAs(TPGStream& stream, std::string_view extension, int index = 0);
    void SaveToFile(const std::string& fileName);
    virtual void SaveToStreamAs(TPGStream& stream, std::string_view extension);
    void SaveToStream(TPGStream& stream);
    void ReadData(TPGStream& stream);
    void WriteData(TPGStream& stream);

    // Clipboard transfer as a packed DIB (format 8: 40-byte header, colour table, pixels).
    TClipboardData SaveToClipboardFormat() const;
    void LoadFromClipboardFormat(unsigned format, const std::uint8_t* data, std::size_t size);

private:
    struct TFree {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    friend class TDitherer;
    friend class TResampler;

    void InvalidateMemo() { memoInvalid_ = true; }
    void RebuildColorCache();
    std::uint32_t SearchPalette(TColor color);
    void ComputeIsGray();
    void DirectCopy(const TPixelGraphic& source, int srcX, int srcY, int dstX, int dstY, int width,
                    int height);
    void StoreIndex(std::uint8_t* row, int x, std::uint32_t value);

    std::uint32_t fillColor_ = 0;
    TBitCount bitCount_ = bc24Bit;
    std::unique_ptr<std::uint8_t[], TFree> pixels_;
    std::unique_ptr<TPGCanvas> canvas_;
    int width_ = 0;
    int height_ = 0;
    bool isGray_ = false;
    std::size_t imageSize_ = 0;
    int paletteCount_ = 0;
    int rowStride_ = 0;
    std::unique_ptr<std::uint8_t[]> colorCache_;  // 32 x 64 x 32 cells of palette indices
    std::unique_ptr<std::uint8_t[]> cacheFilled_; // one bit per cell
    bool colorCacheInvalid_ = true;
    TColor lastColor_ = 0;
    std::uint32_t lastIndex_ = 0;
    bool memoInvalid_ = true;
    std::array<TColor, 256> palette_{};
    TPaletteIdent paletteIdent_ = pNone;
    bool rgbWeighting_ = true;
    bool useColorCache_ = true;
    int updateCount_ = 0;
};

// Gives target a palette of at most maxColors (<= 256) entries chosen for the source's
// pixels: a median cut for 24-bit sources, an octree of the used palette entries otherwise;
// with withSystemColors the 16 system colours take the last 16 places. The target's pixels
// are not touched; copy the source in with CopyFrom afterwards.
void MakeOptimizedPalette(TPixelGraphic& target, const TPixelGraphic& source, int maxColors,
                          bool withSystemColors);

} // namespace scenaria
