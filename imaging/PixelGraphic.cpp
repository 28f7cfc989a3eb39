#include "imaging/PixelGraphic.h"

#include "imaging/Canvas.h"
#include "imaging/Messages.h"
#include "imaging/Palettes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace scenaria {

double DisplayGamma = 1.8;
bool GammaCorrection = true;

int BitCountToNum(TBitCount bitCount)
{
    switch (bitCount) {
    case bc1Bit:
        return 1;
    case bc4Bit:
        return 4;
    case bc8Bit:
        return 8;
    default:
        return 24;
    }
}

TBitCount NumToBitCount(int bits)
{
    switch (bits) {
    case 1:
        return bc1Bit;
    case 4:
        return bc4Bit;
    case 8:
        return bc8Bit;
    case 24:
        return bc24Bit;
    default:
        throw EPGInvalidBitCountNum(PGMessage(pgmInvalidValue, "BitCountNum"));
    }
}

namespace {

int Capacity(TBitCount bitCount)
{
    switch (bitCount) {
    case bc1Bit:
        return 2;
    case bc4Bit:
        return 16;
    case bc8Bit:
        return 256;
    default:
        return 0;
    }
}

constexpr int CacheCells = 32 * 64 * 32;

int CacheCell(TColor color)
{
    return (GetRValue(color) >> 3) << 11 | (GetGValue(color) >> 2) << 5 | GetBValue(color) >> 3;
}

} // namespace

TPixelGraphic::TPixelGraphic() : Gamma(DisplayGamma)
{
}

TPixelGraphic::~TPixelGraphic() = default;

int TPixelGraphic::PaletteCapacity() const
{
    return Capacity(bitCount_);
}

void TPixelGraphic::SetSize(int width, int height, TBitCount bitCount)
{
    if (width < 0)
        throw EPGInvalidSize(PGMessage(pgmNegativeWidth));
    if (height < 0)
        throw EPGInvalidSize(PGMessage(pgmNegativeHeight));
    if (bitCount < bc1Bit || bitCount > bc24Bit)
        throw EPGInvalidBitCountNum(PGMessage(pgmInvalidValue, "BitCountNum"));
    if (width == width_ && height == height_ && bitCount == bitCount_) {
        Clear();
        return;
    }
    const std::uint64_t bits = static_cast<std::uint64_t>(BitCountToNum(bitCount));
    const std::uint64_t stride = (bits * static_cast<std::uint64_t>(width) + 31) / 32 * 4;
    // The stride alone is limited too, so that an image of height 0 cannot carry a stride
    // that no int holds.
    if (stride > MaxImageBytes ||
        (height > 0 && stride * static_cast<std::uint64_t>(height) > MaxImageBytes))
        throw EPGInvalidSize(PGMessage(pgmInvalidSize, "image"));
    const std::size_t size = static_cast<std::size_t>(stride * static_cast<std::uint64_t>(height));

    // The new pixels are allocated before anything changes, so a failure leaves the image as
    // it was rather than with a size and no pixels.
    std::unique_ptr<std::uint8_t[], TFree> pixels;
    if (size > 0) {
        pixels.reset(static_cast<std::uint8_t*>(std::calloc(size, 1)));
        if (!pixels)
            throw EPixelGraphic(PGMessage(pgmFailed, "CreateDIBSection"));
    }
    width_ = width;
    height_ = height;
    bitCount_ = bitCount;
    rowStride_ = static_cast<int>(stride);
    imageSize_ = size;
    pixels_ = std::move(pixels);
    if (size > 0) {
        const int cap = Capacity(bitCount);
        if (paletteCount_ > cap)
            SetPaletteCount(cap);
        if (bitCount == bc24Bit) {
            paletteIdent_ = pTrueColor;
            InvalidateMemo();
            InvalidateColorCache();
        }
    }
    Changed();
}

void TPixelGraphic::SetWidth(int width)
{
    if (width != width_)
        SetSize(width, height_, bitCount_);
}

void TPixelGraphic::SetHeight(int height)
{
    if (height != height_)
        SetSize(width_, height, bitCount_);
}

void TPixelGraphic::SetBitCount(TBitCount bitCount)
{
    if (bitCount != bitCount_)
        SetSize(width_, height_, bitCount);
}

std::uint8_t* TPixelGraphic::ScanLine(int y)
{
    return const_cast<std::uint8_t*>(static_cast<const TPixelGraphic*>(this)->ScanLine(y));
}

const std::uint8_t* TPixelGraphic::ScanLine(int y) const
{
    if (!pixels_)
        return nullptr;
    if (y < 0 || y >= height_)
        throw EPGXYIndexOutOfRange(PGMessage(pgmXYIndexOutOfRange));
    return pixels_.get() + static_cast<std::size_t>(height_ - y - 1) * rowStride_;
}

void TPixelGraphic::Clear()
{
    if (pixels_) {
        if (fillColor_ == 0) {
            std::memset(pixels_.get(), 0, imageSize_);
        } else if (bitCount_ == bc8Bit) {
            for (int y = 0; y < height_; ++y)
                std::memset(ScanLine(y), static_cast<std::uint8_t>(fillColor_), width_);
        } else {
            // Every row ends up alike, so one row is written pixel by pixel and copied.
            for (int x = 0; x < width_; ++x)
                SetPixel(x, 0, fillColor_);
            const std::size_t used = (static_cast<std::size_t>(BitCountNum()) * width_ + 7) / 8;
            for (int y = 1; y < height_; ++y)
                std::memcpy(ScanLine(y), ScanLine(0), used);
        }
    }
    Changed();
}

std::uint32_t TPixelGraphic::GetPixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || !pixels_) {
        if (RangeCheck)
            throw EPGXYIndexOutOfRange(PGMessage(pgmXYIndexOutOfRange));
        return fillColor_;
    }
    const std::uint8_t* row = ScanLine(y);
    if (bitCount_ != bc24Bit)
        return RowIndex(row, x, bitCount_);
    const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
    return RGB(p[2], p[1], p[0]);
}

void TPixelGraphic::StoreIndex(std::uint8_t* row, int x, std::uint32_t value)
{
    switch (bitCount_) {
    case bc1Bit: {
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (x & 7));
        if (value == 1)
            row[x >> 3] |= mask;
        else
            row[x >> 3] &= static_cast<std::uint8_t>(~mask);
        break;
    }
    case bc4Bit: {
        std::uint8_t& b = row[x >> 1];
        if (x & 1)
            b = static_cast<std::uint8_t>((b & 0xF0) | (value & 0x0F));
        else
            b = static_cast<std::uint8_t>((b & 0x0F) | (value & 0x0F) << 4);
        break;
    }
    case bc8Bit:
        row[x] = static_cast<std::uint8_t>(value);
        break;
    default: {
        std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
        p[0] = static_cast<std::uint8_t>(GetBValue(value));
        p[1] = static_cast<std::uint8_t>(GetGValue(value));
        p[2] = static_cast<std::uint8_t>(GetRValue(value));
        break;
    }
    }
}

void TPixelGraphic::SetPixel(int x, int y, std::uint32_t value)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || !pixels_) {
        if (RangeCheck)
            throw EPGXYIndexOutOfRange(PGMessage(pgmXYIndexOutOfRange));
        return;
    }
    StoreIndex(ScanLine(y), x, value);
}

TColor TPixelGraphic::GetPixelColor(int x, int y) const
{
    const std::uint32_t value = GetPixel(x, y);
    return bitCount_ == bc24Bit ? value : PaletteEntry(static_cast<int>(value));
}

void TPixelGraphic::SetPixelColor(int x, int y, TColor color)
{
    SetPixel(x, y, bitCount_ == bc24Bit ? color : NearestIndex(color));
}

TColor TPixelGraphic::FillColor() const
{
    return bitCount_ == bc24Bit ? fillColor_ : PaletteEntry(static_cast<int>(fillColor_));
}

void TPixelGraphic::SetFillColor(TColor color)
{
    fillColor_ = bitCount_ == bc24Bit ? color : NearestIndex(color);
}

void TPixelGraphic::SetPaletteCount(int count)
{
    if (count < 0 || count > 256)
        throw EPGInvalidPaletteIndex(PGMessage(pgmInvalidPaletteIndex));
    if (count != paletteCount_) {
        for (int i = paletteCount_; i < count; ++i)
            palette_[i] = 0;
        paletteCount_ = count;
        paletteIdent_ = count > 0 ? pUnknown : pNone;
        InvalidateMemo();
    }
    InvalidateColorCache();
}

TColor TPixelGraphic::PaletteEntry(int i) const
{
    if (paletteIdent_ == pTrueColor)
        return static_cast<TColor>(i);
    if (i < 0 || i >= paletteCount_)
        throw EPGInvalidPaletteIndex(PGMessage(pgmInvalidPaletteIndex));
    return palette_[i];
}

void TPixelGraphic::SetPaletteEntry(int i, TColor color)
{
    if (paletteIdent_ == pTrueColor || paletteIdent_ == pNone)
        throw EPGNoPalette(PGMessage(pgmNoPalette));
    if (i < 0 || i >= paletteCount_)
        throw EPGInvalidPaletteIndex(PGMessage(pgmInvalidPaletteIndex));
    palette_[i] = color & 0xFFFFFF;
    paletteIdent_ = pUnknown;
    InvalidateMemo();
    InvalidateColorCache();
}

void TPixelGraphic::SetPaletteIdent(TPaletteIdent kind)
{
    if (kind == paletteIdent_ || kind == pOptimized252Sys16 || kind == pSource)
        return;
    if (kind == pNone || kind == pTrueColor) {
        SetPaletteCount(0);
    } else if (kind != pUnknown) {
        const auto entries = StandardPalette(kind);
        SetPaletteCount(static_cast<int>(entries.size()));
        for (std::size_t i = 0; i < entries.size(); ++i)
            SetPaletteEntry(static_cast<int>(i), entries[i]);
    }
    paletteIdent_ = kind;
    InvalidateMemo();
    InvalidateColorCache();
}

void TPixelGraphic::ComputeIsGray()
{
    isGray_ = bitCount_ != bc24Bit;
    for (int i = 0; i < paletteCount_ && isGray_; ++i) {
        const TColor c = palette_[i];
        isGray_ = GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c);
    }
}

void TPixelGraphic::IdentifyPalette()
{
    ComputeIsGray();
    auto equals = [this](TPaletteIdent kind) {
        const auto entries = StandardPalette(kind);
        return static_cast<std::size_t>(paletteCount_) == entries.size() &&
               std::equal(entries.begin(), entries.end(), palette_.begin());
    };
    static constexpr TPaletteIdent order[] = {pBlackWhite, pGray4,     pSysGray4, pGray16,
                                              pGray236,    pGray256,   pSys16,    pSpecial216,
                                              pSpecial125, pSpecial252};
    TPaletteIdent kind = bitCount_ == bc24Bit && paletteCount_ == 0 ? pTrueColor
                         : paletteCount_ > 0                        ? pUnknown
                                                                    : pNone;
    for (TPaletteIdent candidate : order)
        if (equals(candidate)) {
            kind = candidate;
            break;
        }
    paletteIdent_ = kind;
    InvalidateMemo();
    InvalidateColorCache();
}

void TPixelGraphic::CopyPalette(const TPixelGraphic& source)
{
    if (&source == this)
        return;
    SetPaletteCount(source.paletteCount_);
    for (int i = 0; i < source.paletteCount_; ++i)
        SetPaletteEntry(i, source.palette_[i]);
    IdentifyPalette();
}

void TPixelGraphic::GetColorTable(std::array<TColor, 256>& table) const
{
    for (int i = 0; i < 256; ++i) {
        if (paletteIdent_ == pTrueColor)
            table[i] = static_cast<TColor>(i);
        else if (i < paletteCount_)
            table[i] = palette_[i];
        else
            table[i] = paletteCount_ > 0 ? palette_[0] : 0;
    }
}

void TPixelGraphic::InvalidateColorCache()
{
    colorCache_.reset();
    cacheFilled_.reset();
    colorCacheInvalid_ = true;
}

void TPixelGraphic::SetUseColorCache(bool value)
{
    useColorCache_ = value;
    InvalidateMemo();
}

void TPixelGraphic::SetRGBWeighting(bool value)
{
    rgbWeighting_ = value;
    InvalidateMemo();
}

void TPixelGraphic::RebuildColorCache()
{
    colorCache_ = std::make_unique<std::uint8_t[]>(CacheCells);
    cacheFilled_ = std::make_unique<std::uint8_t[]>(CacheCells / 8);
    std::uint8_t* cells = colorCache_.get();
    std::uint8_t* filled = cacheFilled_.get();
    // Shells of growing radius around each entry's cell: near an entry the cell takes the
    // entry whose cell is closest, which is cheap and close to exact; cells farther out are
    // searched exactly when first asked for.
    for (int r = 0; r <= 4; ++r) {
        for (int i = 0; i < paletteCount_; ++i) {
            const TColor c = palette_[i];
            const int cr = GetRValue(c) >> 3, cg = GetGValue(c) >> 2, cb = GetBValue(c) >> 3;
            for (int rr = std::max(cr - r, 0); rr <= std::min(cr + r, 31); ++rr) {
                const bool rEdge = rr == cr - r || rr == cr + r;
                for (int gg = std::max(cg - r, 0); gg <= std::min(cg + r, 63); ++gg) {
                    const bool gEdge = rEdge || gg == cg - r || gg == cg + r;
                    const int bLow = std::max(cb - r, 0), bHigh = std::min(cb + r, 31);
                    for (int bb = bLow; bb <= bHigh; ++bb) {
                        // Inside the shell only the two faces on the blue axis count.
                        if (!gEdge && bb != cb - r && bb != cb + r) {
                            bb = std::max(bb, cb + r - 1);
                            continue;
                        }
                        const int cell = rr << 11 | gg << 5 | bb;
                        if (!(filled[cell >> 3] & (1 << (cell & 7)))) {
                            filled[cell >> 3] |= static_cast<std::uint8_t>(1 << (cell & 7));
                            cells[cell] = static_cast<std::uint8_t>(i);
                        }
                    }
                }
            }
        }
    }
    colorCacheInvalid_ = false;
}

std::uint32_t TPixelGraphic::SearchPalette(TColor color)
{
    if (paletteCount_ <= 0)
        throw EPGNoPalette(PGMessage(pgmNoPalette));
    if (!useColorCache_)
        return static_cast<std::uint32_t>(FullSearchNearest(palette_.data(), paletteCount_, color));
    if (colorCacheInvalid_ || !colorCache_)
        RebuildColorCache();
    const int cell = CacheCell(color);
    std::uint8_t& bits = cacheFilled_[cell >> 3];
    const std::uint8_t mask = static_cast<std::uint8_t>(1 << (cell & 7));
    if (!(bits & mask)) {
        colorCache_[cell] =
            static_cast<std::uint8_t>(FullSearchNearest(palette_.data(), paletteCount_, color));
        bits |= mask;
    }
    return colorCache_[cell];
}

std::uint32_t TPixelGraphic::NearestIndex(TColor color)
{
    if (!memoInvalid_ && color == lastColor_)
        return lastIndex_;
    std::uint32_t index;
    switch (paletteIdent_) {
    case pNone:
        throw EPGNoPalette(PGMessage(pgmNoPalette));
    case pTrueColor:
        index = color;
        break;
    case pUnknown:
    case pOptimized252Sys16:
    case pSource:
        index = SearchPalette(color);
        break;
    default:
        index =
            static_cast<std::uint32_t>(StandardNearestIndex(paletteIdent_, color, rgbWeighting_));
        break;
    }
    lastColor_ = color;
    lastIndex_ = index;
    memoInvalid_ = false;
    return index;
}

void TPixelGraphic::EndUpdate()
{
    if (updateCount_ > 0)
        --updateCount_;
    Changed();
}

void TPixelGraphic::Changed()
{
    if (updateCount_ == 0 && OnChange)
        OnChange(*this);
}

void TPixelGraphic::DoProgressStart()
{
    if (OnProgressStart)
        OnProgressStart(*this);
}

bool TPixelGraphic::DoProgress(int step, int max)
{
    bool abort = false;
    if (OnProgress)
        OnProgress(*this, step, max, abort);
    return abort;
}

void TPixelGraphic::DoProgressEnd()
{
    if (OnProgressEnd)
        OnProgressEnd(*this);
}

void TPixelGraphic::Assign(const TPixelGraphic* source)
{
    if (source == this)
        return;
    if (!source) {
        SetSize(0, 0, bc24Bit);
        return;
    }
    BeginUpdate();
    try {
        SetSize(source->width_, source->height_, source->bitCount_);
        if (imageSize_ > 0)
            std::memcpy(pixels_.get(), source->pixels_.get(), imageSize_);
        // The entries are copied as they are; IdentifyPalette below settles the kind.
        paletteCount_ = source->paletteCount_;
        palette_ = source->palette_;
        paletteIdent_ = source->paletteIdent_;
        fillColor_ = source->fillColor_;
        Dither = source->Dither;
        DitherErrorLimit = source->DitherErrorLimit;
        DitherErrorLimitAuto = source->DitherErrorLimitAuto;
        DitherErrorLimitSoft = source->DitherErrorLimitSoft;
        useColorCache_ = source->useColorCache_;
        Gamma = source->Gamma;
        StretchMode = source->StretchMode;
        ReadWarningAction = source->ReadWarningAction;
        Transparent = source->Transparent;
        RangeCheck = source->RangeCheck;
        SaveColorResWarningAction = source->SaveColorResWarningAction;
        Orientation = source->Orientation;
        IdentifyPalette();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

bool GammaCorrectionNeeded(double gamma)
{
    const double ratio = gamma / DisplayGamma;
    return GammaCorrection && std::isfinite(ratio) && ratio > 0 && std::fabs(ratio - 1) > 0.05;
}

void TPixelGraphic::ApplyGammaCorrection()
{
    const double ratio = Gamma / DisplayGamma;
    if (GammaCorrectionNeeded(Gamma)) {
        std::uint8_t table[256];
        for (int i = 0; i < 256; ++i)
            table[i] = static_cast<std::uint8_t>(std::nearbyint(255 * std::pow(i / 255.0, ratio)));
        if (bitCount_ == bc24Bit) {
            std::uint8_t* p = pixels_.get();
            for (std::size_t i = 0; i < imageSize_; ++i)
                p[i] = table[p[i]];
        } else if (paletteIdent_ != pTrueColor && paletteIdent_ != pNone) {
            for (int i = 0; i < paletteCount_; ++i) {
                const TColor c = palette_[i];
                SetPaletteEntry(i,
                                RGB(table[GetRValue(c)], table[GetGValue(c)], table[GetBValue(c)]));
            }
        }
    }
    Gamma = DisplayGamma;
}

TPGCanvas& TPixelGraphic::Canvas()
{
    if (!canvas_)
        canvas_ = std::make_unique<TPGCanvas>(*this);
    return *canvas_;
}

void TPixelGraphic::CopyFrom(const TPixelGraphic& source)
{
    CopyRect(source, 0, 0, source.width_, source.height_, 0, 0, width_, height_);
}

} // namespace scenaria
