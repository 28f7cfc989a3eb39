// CopyRect: copying between images with resampling, colour conversion and Floyd-Steinberg
// error diffusion.

#include "imaging/Resample.h"

#include "imaging/Messages.h"
#include "imaging/PixelGraphic.h"
#include "imaging/ProgressScope.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <thread>
#include <vector>

namespace scenaria {

namespace {

// Maps -510..510 to 0..255 (index + 510).
constexpr std::array<std::uint8_t, 1021> ClampTable = [] {
    std::array<std::uint8_t, 1021> table{};
    for (int i = 0; i < 1021; ++i)
        table[i] = static_cast<std::uint8_t>(std::clamp(i - 510, 0, 255));
    return table;
}();

// v lies in -510..510: a channel plus a limited error.
int Clamp255(int v)
{
    return ClampTable[v + 510];
}

// Exact division by a divisor fixed for a whole copy. Sums below 2^32 are divided by one
// multiplication (exact for divisors below 2^32); larger ones, which only huge rectangles
// produce, fall back to the division instruction.
class TDivider {
public:
    // Rounded, the quotient is the nearest one instead of the one below.
    explicit TDivider(std::uint64_t divisor, bool rounded = false)
        : divisor_(divisor), half_(rounded ? divisor / 2 : 0)
    {
        if (divisor_ > 1 && divisor_ < (std::uint64_t{1} << 32))
            magic_ = ~std::uint64_t{0} / divisor_ + 1;
    }
    std::uint64_t operator()(std::uint64_t x) const
    {
        if (divisor_ == 1)
            return x;
        x += half_;
        if (magic_ && x < (std::uint64_t{1} << 32))
            return HighProduct(x, magic_);
        return x / divisor_;
    }
    std::uint64_t Divisor() const { return divisor_; }

private:
    // The upper 64 bits of x * m for x below 2^32, in 64-bit arithmetic alone (32-bit
    // targets have no 128-bit integers): neither partial sum can overflow.
    static std::uint64_t HighProduct(std::uint64_t x, std::uint64_t m)
    {
        const std::uint64_t high = x * (m >> 32);
        const std::uint64_t low = x * (m & 0xFFFFFFFFu);
        return (high + (low >> 32)) >> 32;
    }

    std::uint64_t divisor_;
    std::uint64_t half_;
    std::uint64_t magic_ = 0;
};

enum TTapKind { tkSingle, tkEnds, tkAll };

// The source columns (or rows) that make one target column (or row).
struct TTap {
    int First = 0;
    int Last = 0;
    std::uint64_t WeightFirst = 0;
    std::uint64_t WeightLast = 0;
    TTapKind Kind = tkSingle;
    bool Valid = false;
};

enum TAxisMode { amOne, amInterpolate, amAverage };

// The resampling rule along one axis: source span [src, src + w) onto w target positions W.
class TAxis {
public:
    TAxis(TStretchMode mode, int src, int w, int W, int limit)
        : src_(src), w_(w), W_(W), limit_(limit)
    {
        if ((W > w && mode == smPrecise) || (W < w && mode == smMedium))
            mode_ = amInterpolate;
        else if ((W < w && mode == smPrecise) || (W > w && mode == smMedium))
            mode_ = amAverage;
        else
            mode_ = amOne;
    }

    std::uint64_t Denominator() const
    {
        return mode_ == amInterpolate ? 2 * static_cast<std::uint64_t>(W_)
               : mode_ == amAverage   ? static_cast<std::uint64_t>(w_)
                                      : 1;
    }
    // Weight of the positions between the ends of an averaged span.
    std::uint64_t Between() const { return static_cast<std::uint64_t>(W_); }

    TTap Tap(std::int64_t t) const
    {
        const std::int64_t w = w_, W = W_, src = src_;
        std::int64_t first, last;
        TTap tap;
        switch (mode_) {
        case amInterpolate: {
            const std::int64_t p = w * (2 * t + 1);
            first = src + (p - W) / (2 * W);
            last = src + (p + W) / (2 * W);
            if (W + 2 * W * (first - src) == p || first == last) {
                tap.Kind = tkSingle;
                last = first;
                tap.WeightFirst = static_cast<std::uint64_t>(2 * W);
            } else {
                tap.Kind = tkEnds;
                tap.WeightFirst = static_cast<std::uint64_t>(3 * W + 2 * W * (first - src) - p);
                tap.WeightLast = static_cast<std::uint64_t>(W + p - 2 * W * (last - src));
            }
            bool valid = Inside(first) && Inside(last);
            // Enlarging repeats the edge pixels: a pair that reaches past an edge of the
            // source is pulled back inside.
            if (!valid && W > w && (Inside(first) != Inside(last))) {
                first = std::clamp<std::int64_t>(first, 0, limit_ - 1);
                last = std::clamp<std::int64_t>(last, 0, limit_ - 1);
                valid = true;
            }
            tap.Valid = valid;
            break;
        }
        case amAverage: {
            first = src + w * t / W;
            const std::int64_t q = w * (t + 1);
            last = src + q / W - (q % W == 0 ? 1 : 0);
            if (first == last) {
                tap.Kind = tkSingle;
                tap.WeightFirst = static_cast<std::uint64_t>(w);
            } else {
                tap.Kind = last - first < 2 ? tkEnds : tkAll;
                tap.WeightFirst = static_cast<std::uint64_t>(W * (first - src + 1) - w * t);
                tap.WeightLast = static_cast<std::uint64_t>(q - W * (last - src));
            }
            tap.Valid = Inside(first) && Inside(last);
            break;
        }
        default:
            first = last = src + (W == w ? t : w * t / W);
            tap.WeightFirst = 1;
            tap.Valid = Inside(first);
            break;
        }
        if (tap.Valid) {
            tap.First = static_cast<int>(first);
            tap.Last = static_cast<int>(last);
        }
        return tap;
    }

private:
    bool Inside(std::int64_t v) const { return v >= 0 && v < limit_; }

    TAxisMode mode_;
    int src_, w_, W_, limit_;
};

// Reads the colour of column x of a source row as blue, green and red.
struct TTrueColorRow {
    const std::uint8_t* Line;
    void Get(std::size_t x, unsigned& b, unsigned& g, unsigned& r) const
    {
        const std::uint8_t* p = Line + 3 * x;
        b = p[0];
        g = p[1];
        r = p[2];
    }
};

// A row of 8-bit gray levels, read as a colour.
struct TGrayRow {
    const std::uint8_t* Line;
    void Get(std::size_t x, unsigned& b, unsigned& g, unsigned& r) const { b = g = r = Line[x]; }
};

template <TBitCount Bits> struct TPaletteRow {
    const std::uint8_t* Line;
    const std::array<TColor, 256>* Colors;
    void Get(std::size_t x, unsigned& b, unsigned& g, unsigned& r) const
    {
        const TColor c = (*Colors)[RowIndex(Line, static_cast<int>(x), Bits)];
        b = static_cast<unsigned>(GetBValue(c));
        g = static_cast<unsigned>(GetGValue(c));
        r = static_cast<unsigned>(GetRValue(c));
    }
};

// Refuses the helper arrays of an operation on an absurdly wide image before allocating them.
void CheckWorkspace(std::uint64_t bytes)
{
    if (bytes > MaxImageBytes)
        throw EPGInvalidSize(PGMessage(pgmInvalidSize, "image"));
}

// Sums of one source row over each column record, divided by the horizontal denominator.
// Acc is 32 bits wide when 255 times the denominator fits, which is the common case.
template <typename Acc, typename Row>
void HorizontalSums(const Row& row, const std::vector<TTap>& taps, Acc between,
                    const TDivider& divide, std::uint32_t* out)
{
    for (std::size_t k = 0; k < taps.size(); ++k) {
        const TTap& tap = taps[k];
        if (!tap.Valid)
            continue;
        unsigned pb, pg, pr;
        row.Get(static_cast<std::size_t>(tap.First), pb, pg, pr);
        const Acc wf = static_cast<Acc>(tap.WeightFirst);
        Acc b = pb * wf, g = pg * wf, r = pr * wf;
        if (tap.Kind != tkSingle) {
            if (tap.Kind == tkAll)
                for (std::size_t x = static_cast<std::size_t>(tap.First) + 1;
                     x < static_cast<std::size_t>(tap.Last); ++x) {
                    row.Get(x, pb, pg, pr);
                    b += pb * between;
                    g += pg * between;
                    r += pr * between;
                }
            row.Get(static_cast<std::size_t>(tap.Last), pb, pg, pr);
            const Acc wl = static_cast<Acc>(tap.WeightLast);
            b += pb * wl;
            g += pg * wl;
            r += pr * wl;
        }
        out[3 * k] = static_cast<std::uint32_t>(divide(b));
        out[3 * k + 1] = static_cast<std::uint32_t>(divide(g));
        out[3 * k + 2] = static_cast<std::uint32_t>(divide(r));
    }
}

template <typename Acc>
void AddWeighted(Acc* totals, const std::uint32_t* sums, std::size_t count, Acc weight)
{
    for (std::size_t k = 0; k < count; ++k)
        totals[k] += sums[k] * weight;
}

template <typename Acc>
void DivideTotals(const Acc* totals, std::size_t count, const TDivider& divide, std::uint8_t* out)
{
    for (std::size_t k = 0; k < count; ++k)
        out[k] = static_cast<std::uint8_t>(divide(totals[k]));
}

// True when sums of 255 times weights adding up to denominator fit 32 bits.
bool Fits32(std::uint64_t denominator)
{
    return denominator < (std::uint64_t{1} << 32) / 256;
}

int AutoErrorLimit(TPaletteIdent kind)
{
    switch (kind) {
    case pBlackWhite:
        return 255;
    case pSysGray4:
    case pSys16:
    case pGray4:
        return 128;
    case pGray236:
        return 3;
    case pGray256:
        return 2;
    case pSpecial125:
    case pSpecial252:
        return 104;
    case pSpecial216:
        return 86;
    default:
        return 32;
    }
}

} // namespace

// Floyd-Steinberg error diffusion into a palette image, serpentine: the caller visits even
// rows left to right and odd rows right to left.
class TDitherer {
public:
    explicit TDitherer(TPixelGraphic& target)
        : target_(target), errorsA_(Slots(target)), errorsB_(Slots(target))
    {
        target.ComputeIsGray();
        gray_ = target.isGray_;
        trueColor_ = target.paletteIdent_ == pTrueColor;
        const int b = target.DitherErrorLimitAuto ? AutoErrorLimit(target.paletteIdent_)
                                                  : target.DitherErrorLimit;
        const bool soft = target.DitherErrorLimitAuto || target.DitherErrorLimitSoft;
        int limit[256];
        for (int i = 0; i <= 255; ++i) {
            int lim = i < b ? i : (b == 255 ? i : b);
            // The soft knee bends the limit in over b/2 .. 3b/2 instead of cutting at b.
            if (soft && i >= b / 2 && i <= 3 * b / 2 && i < 255)
                lim = i / 2 + b / 4;
            limit[i] = lim;
        }
        // Rounding (sign(e) * ((|e| + 8) div 16)) and limiting in one look-up per channel.
        for (int e = 0; e <= MaxError; ++e) {
            const int lim = limit[std::min((e + 8) >> 4, 255)];
            limited_[MaxError + e] = lim;
            limited_[MaxError - e] = -lim;
        }
        current_ = errorsA_.data();
        next_ = errorsB_.data();
    }

    void NextRow()
    {
        std::swap(current_, next_);
        std::fill(next_, next_ + errorsA_.size(), 0);
    }

    // Writes the pixel at x of row nearest to the wanted colour plus the error so far, and
    // passes the new error on; dir is +1 left to right, -1 right to left.
    void Put(std::uint8_t* row, int x, int r, int g, int b, int dir)
    {
        int* cur = current_ + 3 * static_cast<std::ptrdiff_t>(x + 1);
        int* nxt = next_ + 3 * static_cast<std::ptrdiff_t>(x + 1);
        const std::ptrdiff_t ahead = 3 * dir;
        if (gray_) {
            const int v = Clamp255(target_.Luminance(RGB(r, g, b)) / 3 + Limited(cur[1]));
            const std::uint32_t index = target_.NearestIndex(RGB(v, v, v));
            target_.StoreIndex(row, x, index);
            Spread(cur + 1, nxt + 1, ahead, v - GetGValue(Entry(index)));
            return;
        }
        const int vr = Clamp255(r + Limited(cur[0]));
        const int vg = Clamp255(g + Limited(cur[1]));
        const int vb = Clamp255(b + Limited(cur[2]));
        const std::uint32_t index = target_.NearestIndex(RGB(vr, vg, vb));
        target_.StoreIndex(row, x, index);
        const TColor e = Entry(index);
        Spread(cur, nxt, ahead, vr - GetRValue(e));
        Spread(cur + 1, nxt + 1, ahead, vg - GetGValue(e));
        Spread(cur + 2, nxt + 2, ahead, vb - GetBValue(e));
    }

private:
    static std::size_t Slots(const TPixelGraphic& target)
    {
        const std::uint64_t slots = (static_cast<std::uint64_t>(target.Width()) + 2) * 3;
        CheckWorkspace(2 * sizeof(int) * slots);
        return static_cast<std::size_t>(slots);
    }

    int Limited(int e) const { return limited_[std::clamp(e, -MaxError, MaxError) + MaxError]; }

    TColor Entry(std::uint32_t index) const
    {
        if (trueColor_)
            return index;
        return index < 256 ? target_.palette_[index] : 0;
    }

    static void Spread(int* cur, int* nxt, std::ptrdiff_t ahead, int e)
    {
        cur[ahead] += 7 * e;
        nxt[ahead] += e;
        nxt[0] += 5 * e;
        nxt[-ahead] += 3 * e;
    }

    TPixelGraphic& target_;
    std::vector<int> errorsA_, errorsB_;
    int* current_;
    int* next_;
    // An accumulated error is at most 16 weights of 255.
    static constexpr int MaxError = 16 * 255;
    std::array<int, 2 * MaxError + 1> limited_{};
    bool gray_ = false;
    bool trueColor_ = false;
};

namespace {

// The source rows summed across the target's columns and divided by the horizontal
// denominator, for the two rows asked for last: neighbouring target rows mostly share them.
class TSourceRows {
public:
    TSourceRows(const TPixelGraphic& source, const std::vector<TTap>& taps, const TAxis& horizontal)
        : source_(source), taps_(taps), between_(horizontal.Between()),
          divide_(horizontal.Denominator()),
          narrow_(Fits32(horizontal.Denominator()) && Fits32(between_))
    {
        if (source.BitCount() != bc24Bit)
            source.GetColorTable(colors_);
        for (auto& c : cache_)
            c.Values.resize(3 * taps.size());
    }

    const std::uint32_t* Sums(int r)
    {
        for (auto& c : cache_)
            if (c.Row == r)
                return c.Values.data();
        TCachedRow& slot = cache_[next_];
        next_ ^= 1;
        slot.Row = r;
        const std::uint8_t* line = source_.ScanLine(r);
        switch (source_.BitCount()) {
        case bc1Bit:
            Fill(TPaletteRow<bc1Bit>{line, &colors_}, slot.Values.data());
            break;
        case bc4Bit:
            Fill(TPaletteRow<bc4Bit>{line, &colors_}, slot.Values.data());
            break;
        case bc8Bit:
            Fill(TPaletteRow<bc8Bit>{line, &colors_}, slot.Values.data());
            break;
        default:
            Fill(TTrueColorRow{line}, slot.Values.data());
            break;
        }
        return slot.Values.data();
    }

private:
    struct TCachedRow {
        int Row = -1;
        std::vector<std::uint32_t> Values;
    };

    template <typename Row> void Fill(const Row& row, std::uint32_t* out) const
    {
        if (narrow_)
            HorizontalSums<std::uint32_t>(row, taps_, static_cast<std::uint32_t>(between_), divide_,
                                          out);
        else
            HorizontalSums<std::uint64_t>(row, taps_, between_, divide_, out);
    }

    const TPixelGraphic& source_;
    const std::vector<TTap>& taps_;
    std::uint64_t between_;
    TDivider divide_;
    bool narrow_;
    std::array<TColor, 256> colors_{};
    TCachedRow cache_[2];
    int next_ = 0;
};

// The colours of one target row: the source rows its tap covers, weighted, summed and
// divided. 32-bit totals when the weights allow, as they almost always do.
class TRowBlender {
public:
    TRowBlender(const TAxis& vertical, std::size_t values, bool rounded = false)
        : between_(vertical.Between()), divide_(vertical.Denominator(), rounded),
          narrow_(Fits32(vertical.Denominator()) && Fits32(between_)),
          totals32_(narrow_ ? values : 0), totals64_(narrow_ ? 0 : values), colors_(values)
    {
    }

    template <typename Rows> const std::uint8_t* Blend(const TTap& tap, Rows& rows)
    {
        if (tap.Kind == tkSingle && tap.WeightFirst == divide_.Divisor()) {
            const std::uint32_t* s = rows.Sums(tap.First);
            for (std::size_t k = 0; k < colors_.size(); ++k)
                colors_[k] = static_cast<std::uint8_t>(s[k]);
            return colors_.data();
        }
        std::fill(totals32_.begin(), totals32_.end(), 0);
        std::fill(totals64_.begin(), totals64_.end(), 0);
        Add(rows.Sums(tap.First), tap.WeightFirst);
        if (tap.Kind != tkSingle) {
            if (tap.Kind == tkAll)
                for (int r = tap.First + 1; r < tap.Last; ++r)
                    Add(rows.Sums(r), between_);
            Add(rows.Sums(tap.Last), tap.WeightLast);
        }
        if (narrow_)
            DivideTotals(totals32_.data(), colors_.size(), divide_, colors_.data());
        else
            DivideTotals(totals64_.data(), colors_.size(), divide_, colors_.data());
        return colors_.data();
    }

private:
    void Add(const std::uint32_t* sums, std::uint64_t weight)
    {
        if (narrow_)
            AddWeighted<std::uint32_t>(totals32_.data(), sums, colors_.size(),
                                       static_cast<std::uint32_t>(weight));
        else
            AddWeighted<std::uint64_t>(totals64_.data(), sums, colors_.size(), weight);
    }

    std::uint64_t between_;
    TDivider divide_;
    bool narrow_;
    std::vector<std::uint32_t> totals32_;
    std::vector<std::uint64_t> totals64_;
    std::vector<std::uint8_t> colors_;
};

} // namespace

// The copy between rectangles of different sizes. A friend of the image, as it stores palette
// indices.
class TResampler {
public:
    static void Copy(TPixelGraphic& target, const TPixelGraphic& source, int srcX, int srcY,
                     int srcWidth, int srcHeight, int dstX, int dstY, int dstWidth, int dstHeight);
    static void StoreRow(TPixelGraphic& target, int y, int x0, const std::vector<TTap>& taps,
                         const std::uint8_t* colors, TDitherer* ditherer);
};

int ImagingThreads = 0;

int ImagingWorkerThreads()
{
    if (ImagingThreads > 0)
        return std::min(ImagingThreads, 8);
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

namespace {

// The source rows that the coming target rows need, summed across the target's columns: a
// window that slides down the picture as its rows arrive.
class TRowWindow {
public:
    TRowWindow(const std::vector<TTap>& taps, const TAxis& horizontal, bool rounded)
        : taps_(taps), between_(horizontal.Between()), divide_(horizontal.Denominator(), rounded),
          narrow_(Fits32(horizontal.Denominator()) && Fits32(between_))
    {
    }

    void Add(int r, const std::uint8_t* line, bool gray)
    {
        TSlot* slot = nullptr;
        for (TSlot& s : slots_)
            if (s.Row < 0) {
                slot = &s;
                break;
            }
        if (!slot) {
            slots_.push_back(TSlot{});
            slot = &slots_.back();
            slot->Values.resize(3 * taps_.size());
        }
        slot->Row = r;
        if (gray)
            Fill(TGrayRow{line}, slot->Values.data());
        else
            Fill(TTrueColorRow{line}, slot->Values.data());
    }

    const std::uint32_t* Sums(int r) const
    {
        for (const TSlot& s : slots_)
            if (s.Row == r)
                return s.Values.data();
        return nullptr;
    }

    // Rows above r are never needed again.
    void DropBefore(int r)
    {
        for (TSlot& s : slots_)
            if (s.Row < r)
                s.Row = -1;
    }

private:
    struct TSlot {
        int Row = -1;
        std::vector<std::uint32_t> Values;
    };

    template <typename Row> void Fill(const Row& row, std::uint32_t* out) const
    {
        if (narrow_)
            HorizontalSums<std::uint32_t>(row, taps_, static_cast<std::uint32_t>(between_), divide_,
                                          out);
        else
            HorizontalSums<std::uint64_t>(row, taps_, between_, divide_, out);
    }

    const std::vector<TTap>& taps_;
    std::uint64_t between_;
    TDivider divide_;
    bool narrow_;
    std::vector<TSlot> slots_;
};

} // namespace

struct TRowResampler::TImpl {
    TImpl(TPixelGraphic& target, int sourceWidth, int sourceHeight, bool rounded)
        : Target(target), Width(sourceWidth), Height(sourceHeight),
          Horizontal(target.StretchMode, 0, sourceWidth, target.Width(), sourceWidth),
          Vertical(target.StretchMode, 0, sourceHeight, target.Height(), sourceHeight),
          Taps(static_cast<std::size_t>(target.Width())), Window(Taps, Horizontal, rounded),
          Blender(Vertical, 3 * Taps.size(), rounded)
    {
        for (int k = 0; k < target.Width(); ++k)
            Taps[static_cast<std::size_t>(k)] = Horizontal.Tap(k);
    }

    // Every target row whose source rows have all arrived.
    void EmitReady()
    {
        while (NextRow < Target.Height()) {
            const TTap tap = Vertical.Tap(NextRow);
            if (tap.Valid) {
                if (tap.Last >= Pushed)
                    return;
                TResampler::StoreRow(Target, NextRow, 0, Taps, Blender.Blend(tap, Window), nullptr);
            }
            ++NextRow;
            if (NextRow < Target.Height()) {
                const TTap next = Vertical.Tap(NextRow);
                if (next.Valid)
                    Window.DropBefore(next.First);
            }
        }
    }

    TPixelGraphic& Target;
    int Width, Height;
    TAxis Horizontal, Vertical;
    std::vector<TTap> Taps;
    TRowWindow Window;
    TRowBlender Blender;
    int Pushed = 0;
    int NextRow = 0;
};

TRowResampler::TRowResampler(TPixelGraphic& target, int sourceWidth, int sourceHeight,
                             TResampleRounding rounding)
{
    if (target.BitCount() != bc24Bit || target.Empty() || sourceWidth <= 0 || sourceHeight <= 0)
        throw EPGInvalidSize(PGMessage(pgmInvalidSize, "image"));
    CheckWorkspace(std::uint64_t{96} * static_cast<std::uint64_t>(target.Width()));
    impl_ = std::make_unique<TImpl>(target, sourceWidth, sourceHeight, rounding == rrNearest);
}

TRowResampler::~TRowResampler() = default;

void TRowResampler::PushRow(const std::uint8_t* row, bool gray)
{
    TImpl& s = *impl_;
    if (s.Pushed >= s.Height)
        return;
    s.Window.Add(s.Pushed, row, gray);
    ++s.Pushed;
    s.EmitReady();
}

int TRowResampler::RowsPushed() const
{
    return impl_->Pushed;
}

void ResampleWhole(TPixelGraphic& target, const TPixelGraphic& source, TResampleRounding rounding)
{
    if (source.Empty())
        return;
    TRowResampler resampler(target, source.Width(), source.Height(), rounding);
    if (source.BitCount() == bc24Bit) {
        for (int y = 0; y < source.Height(); ++y)
            resampler.PushRow(source.ScanLine(y), false);
        return;
    }
    std::array<TColor, 256> colors{};
    source.GetColorTable(colors);
    std::vector<std::uint8_t> row(3 * static_cast<std::size_t>(source.Width()));
    for (int y = 0; y < source.Height(); ++y) {
        const std::uint8_t* line = source.ScanLine(y);
        for (int x = 0; x < source.Width(); ++x) {
            const TColor c = colors[RowIndex(line, x, source.BitCount())];
            std::uint8_t* p = row.data() + 3 * static_cast<std::size_t>(x);
            p[0] = static_cast<std::uint8_t>(GetBValue(c));
            p[1] = static_cast<std::uint8_t>(GetGValue(c));
            p[2] = static_cast<std::uint8_t>(GetRValue(c));
        }
        resampler.PushRow(row.data(), false);
    }
}

namespace {

// What one band of target rows needs; every band reads the same source and column records.
struct TBand {
    TPixelGraphic& Target;
    const TPixelGraphic& Source;
    const std::vector<TTap>& Taps;
    const TAxis& Horizontal;
    const TAxis& Vertical;
    int X0, DstY;
};

// Rows first..last of the target; only a band that reports progress may be aborted.
void CopyBand(const TBand& band, int first, int last, TDitherer* ditherer, bool report)
{
    TSourceRows rows(band.Source, band.Taps, band.Horizontal);
    TRowBlender blender(band.Vertical, 3 * band.Taps.size());
    for (int y = first; y <= last; ++y) {
        if (ditherer)
            ditherer->NextRow();
        const TTap rowTap = band.Vertical.Tap(std::int64_t{y} - band.DstY);
        if (rowTap.Valid)
            TResampler::StoreRow(band.Target, y, band.X0, band.Taps, blender.Blend(rowTap, rows),
                                 ditherer);
        if (report && band.Target.DoProgress(y - first, last - first))
            break;
    }
}

// Each target row of a true-colour copy depends on the source alone, so bands of rows can be
// made side by side with the very pixels one thread would make. Small copies are not worth a
// thread, and the error diffusion of palette targets runs through the rows in order.
int BandCount(const TPixelGraphic& target, bool dithered, int columns, int rows)
{
    if (dithered || target.OnProgress || target.BitCount() != bc24Bit)
        return 1;
    if (std::int64_t{columns} * rows < 256 * 256)
        return 1;
    return std::clamp(ImagingWorkerThreads(), 1, std::max(1, rows / 16));
}

void CopyBands(const TBand& band, int y0, int y1, int bands)
{
    const int rows = y1 - y0 + 1;
    std::vector<std::thread> workers;
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(bands));
    auto bandStart = [&](int i) { return y0 + static_cast<int>(std::int64_t{rows} * i / bands); };
    try {
        for (int i = 1; i < bands; ++i)
            workers.emplace_back([&, i] {
                try {
                    CopyBand(band, bandStart(i), bandStart(i + 1) - 1, nullptr, false);
                } catch (...) {
                    failures[static_cast<std::size_t>(i)] = std::current_exception();
                }
            });
        CopyBand(band, y0, bandStart(1) - 1, nullptr, true);
    } catch (...) {
        failures[0] = std::current_exception();
    }
    for (std::thread& worker : workers)
        worker.join();
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}

} // namespace

void TResampler::Copy(TPixelGraphic& target, const TPixelGraphic& source, int srcX, int srcY,
                      int srcWidth, int srcHeight, int dstX, int dstY, int dstWidth, int dstHeight)
{
    if (target.Empty() || source.Empty())
        return;
    const int x0 = std::max(dstX, 0);
    const int x1 = static_cast<int>(
        std::min<std::int64_t>(std::int64_t{dstX} + dstWidth - 1, target.width_ - 1));
    const int y0 = std::max(dstY, 0);
    const int y1 = static_cast<int>(
        std::min<std::int64_t>(std::int64_t{dstY} + dstHeight - 1, target.height_ - 1));
    if (x0 > x1 || y0 > y1)
        return;

    const TAxis horizontal(target.StretchMode, srcX, srcWidth, dstWidth, source.width_);
    const TAxis vertical(target.StretchMode, srcY, srcHeight, dstHeight, source.height_);

    // Column records, once per copy.
    const int columns = x1 - x0 + 1;
    CheckWorkspace(std::uint64_t{96} * static_cast<std::uint64_t>(columns));
    std::vector<TTap> taps(columns);
    for (int k = 0; k < columns; ++k)
        taps[k] = horizontal.Tap(std::int64_t{x0} + k - dstX);

    std::unique_ptr<TDitherer> ditherer;
    if (target.Dither && target.bitCount_ != bc24Bit)
        ditherer = std::make_unique<TDitherer>(target);

    const TBand band{target, source, taps, horizontal, vertical, x0, dstY};
    TProgressScope progress(target);
    const int bands = BandCount(target, ditherer != nullptr, columns, y1 - y0 + 1);
    if (bands > 1)
        CopyBands(band, y0, y1, bands);
    else
        CopyBand(band, y0, y1, ditherer.get(), true);
    target.Changed();
}

// Serpentine, as the ditherer wants it: even rows left to right, odd rows right to left.
void TResampler::StoreRow(TPixelGraphic& target, int y, int x0, const std::vector<TTap>& taps,
                          const std::uint8_t* colors, TDitherer* ditherer)
{
    const int columns = static_cast<int>(taps.size());
    std::uint8_t* row = target.ScanLine(y);
    if (target.bitCount_ == bc24Bit) {
        // No error diffusion, so no serpentine: the colours go in as they are.
        std::uint8_t* d = row + 3 * static_cast<std::size_t>(x0);
        for (int k = 0; k < columns; ++k, d += 3, colors += 3)
            if (taps[k].Valid) {
                d[0] = colors[0];
                d[1] = colors[1];
                d[2] = colors[2];
            }
        return;
    }
    const bool forward = (y & 1) == 0;
    for (int n = 0; n < columns; ++n) {
        const int k = forward ? n : columns - 1 - n;
        if (!taps[k].Valid)
            continue;
        const int x = x0 + k;
        const std::uint8_t* c = colors + 3 * static_cast<std::size_t>(k);
        if (ditherer) {
            ditherer->Put(row, x, c[2], c[1], c[0], forward ? 1 : -1);
        } else {
            target.StoreIndex(row, x, target.NearestIndex(RGB(c[2], c[1], c[0])));
        }
    }
}

void TPixelGraphic::CopyRect(const TPixelGraphic& source, int srcX, int srcY, int srcWidth,
                             int srcHeight, int dstX, int dstY, int dstWidth, int dstHeight)
{
    if (&source == this) {
        // Reading pixels that this very copy overwrites would smear them; copy from a
        // snapshot instead.
        TPixelGraphic snapshot;
        snapshot.Assign(this);
        CopyRect(snapshot, srcX, srcY, srcWidth, srcHeight, dstX, dstY, dstWidth, dstHeight);
        return;
    }
    if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0)
        return;
    if (srcWidth == dstWidth && srcHeight == dstHeight)
        DirectCopy(source, srcX, srcY, dstX, dstY, dstWidth, dstHeight);
    else
        TResampler::Copy(*this, source, srcX, srcY, srcWidth, srcHeight, dstX, dstY, dstWidth,
                         dstHeight);
}

void TPixelGraphic::DirectCopy(const TPixelGraphic& source, int srcX, int srcY, int dstX, int dstY,
                               int width, int height)
{
    if (Empty() || source.Empty())
        return;
    // Offsets t with both dst + t and src + t inside their images.
    auto overlap = [](int dst, int src, int size, int dstLimit, int srcLimit, std::int64_t& from,
                      std::int64_t& to) {
        from = std::max<std::int64_t>({0, -std::int64_t{dst}, -std::int64_t{src}});
        to = std::min<std::int64_t>(
            {std::int64_t{size}, std::int64_t{dstLimit} - dst, std::int64_t{srcLimit} - src});
    };
    std::int64_t tx0, tx1, ty0, ty1;
    overlap(dstX, srcX, width, width_, source.width_, tx0, tx1);
    overlap(dstY, srcY, height, height_, source.height_, ty0, ty1);
    if (tx0 >= tx1 || ty0 >= ty1)
        return;

    const bool sourceTrue = source.bitCount_ == bc24Bit;
    const bool targetTrue = bitCount_ == bc24Bit;
    std::unique_ptr<TDitherer> ditherer;
    if (Dither && !targetTrue)
        ditherer = std::make_unique<TDitherer>(*this);
    std::array<TColor, 256> colors{};
    if (!sourceTrue)
        source.GetColorTable(colors);
    std::array<std::int64_t, 256> indexMap;
    indexMap.fill(-1);
    const int firstRow = static_cast<int>(dstY + ty0), lastRow = static_cast<int>(dstY + ty1 - 1);

    TProgressScope progress(*this);
    for (std::int64_t t = ty0; t < ty1; ++t) {
        const int y = static_cast<int>(dstY + t);
        const std::uint8_t* src = source.ScanLine(static_cast<int>(srcY + t));
        std::uint8_t* dst = ScanLine(y);
        if (sourceTrue && targetTrue) {
            std::memmove(dst + 3 * (dstX + tx0), src + 3 * (srcX + tx0),
                         3 * static_cast<std::size_t>(tx1 - tx0));
        } else {
            if (ditherer)
                ditherer->NextRow();
            const bool forward = (y & 1) == 0;
            for (std::int64_t n = tx0; n < tx1; ++n) {
                const std::int64_t u = forward ? n : tx1 - 1 - (n - tx0);
                const int sx = static_cast<int>(srcX + u);
                const int x = static_cast<int>(dstX + u);
                std::uint32_t index = 0;
                TColor c;
                if (sourceTrue) {
                    const std::uint8_t* p = src + 3 * static_cast<std::size_t>(sx);
                    c = RGB(p[2], p[1], p[0]);
                } else {
                    index = RowIndex(src, sx, source.bitCount_);
                    c = colors[index];
                }
                if (targetTrue) {
                    StoreIndex(dst, x, c);
                } else if (ditherer) {
                    ditherer->Put(dst, x, GetRValue(c), GetGValue(c), GetBValue(c),
                                  forward ? 1 : -1);
                } else if (sourceTrue) {
                    StoreIndex(dst, x, NearestIndex(c));
                } else {
                    if (indexMap[index] < 0)
                        indexMap[index] = NearestIndex(c);
                    StoreIndex(dst, x, static_cast<std::uint32_t>(indexMap[index]));
                }
            }
        }
        if (DoProgress(y - firstRow, lastRow - firstRow))
            break;
    }
    Changed();
}

} // namespace scenaria
