#include "imaging/gif/GifImage.h"

#include "imaging/gif/GifLzw.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace scenaria {

namespace {

const char* const LoadingText = "Loading...";
const char* const SavingText = "Saving...";

int Percent(const TPGStream& stream)
{
    const std::uint64_t size = stream.Size();
    if (size == 0)
        return 100;
    return static_cast<int>(std::min<std::uint64_t>(100, stream.Position() * 100 / size));
}

// The pixels that bytes of LZW data can stand for at most.
std::int64_t StreamCapacity(std::uint64_t bytes)
{
    const std::uint64_t limit = std::uint64_t(INT64_MAX) / GIFMaxPixelsPerByte;
    return std::int64_t(std::min(bytes, limit)) * GIFMaxPixelsPerByte;
}

} // namespace

// Header

void TGIFHeader::LoadFromStream(TPGStream& stream)
{
    std::uint8_t signature[6];
    ReadGIFBytes(stream, signature, 6);
    if (std::toupper(signature[0]) != 'G' || std::toupper(signature[1]) != 'I' ||
        std::toupper(signature[2]) != 'F')
        throw GIFException("Invalid GIF signature");
    Version.assign(reinterpret_cast<const char*>(signature) + 3, 3);

    std::uint8_t bytes[7];
    ReadGIFBytes(stream, bytes, 7);
    Descriptor.Width = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
    Descriptor.Height = static_cast<std::uint16_t>(bytes[2] | bytes[3] << 8);
    Descriptor.Packed = bytes[4];
    Descriptor.BackgroundColorIndex = bytes[5];
    Descriptor.AspectRatio = bytes[6];
    if (Descriptor.Packed & 0x80) {
        const int count = 2 << (Descriptor.Packed & 7);
        if (count < 2 || count > 256)
            throw GIFException("Invalid number of colors specified in Screen Descriptor");
        colorMap_.LoadFromStream(stream, count);
        colorMap_.SetSorted((Descriptor.Packed & 0x08) != 0);
    } else {
        colorMap_.Clear();
    }
}

void TGIFHeader::SaveToStream(TPGStream& stream)
{
    const int version = image_ ? image_->Version() : 89;
    if (version == 0)
        throw GIFException("Unsupported GIF version");
    Version = version == 87 ? "87a" : "89a";
    stream.Write("GIF", 3);
    stream.Write(Version.data(), 3);
    WriteGIFWord(stream, Descriptor.Width);
    WriteGIFWord(stream, Descriptor.Height);
    const std::uint8_t rest[3] = {Descriptor.Packed, Descriptor.BackgroundColorIndex,
                                  Descriptor.AspectRatio};
    stream.Write(rest, 3);
    // The size bits may announce a larger table than the global one (they follow the deepest
    // table of the picture); the table is padded to what they announce.
    if (Descriptor.Packed & 0x80)
        colorMap_.SaveToStream(stream, (Descriptor.Packed & 7) + 1);
}

void TGIFHeader::Prepare()
{
    const int bits = image_ ? image_->BitsPerPixel() : colorMap_.BitsPerPixel();
    const int depth = std::max(bits - 1, 0);
    std::uint8_t packed = static_cast<std::uint8_t>(depth << 4 | depth);
    if (!colorMap_.Empty()) {
        packed |= 0x80;
        if (colorMap_.Sorted())
            packed |= 0x08;
    }
    Descriptor.Packed = packed;
}

void TGIFHeader::Assign(const TGIFHeader& source)
{
    Descriptor = source.Descriptor;
    Version = source.Version;
    colorMap_.Assign(source.colorMap_);
}

// Frame

TGIFSubImage::TGIFSubImage(TGIFImage* image) : TGIFItem(image), colorMap_(this), extensions_(this)
{
}

TGIFSubImage::~TGIFSubImage()
{
    // Graphic control extensions reach back into the frame when they go.
    extensions_.Clear();
}

void TGIFSubImage::Clear()
{
    DropCaches();
    palette_.reset();
    extensions_.Clear();
    colorMap_.Clear();
    pixels_.clear();
    pixels_.shrink_to_fit();
    descriptor_ = TGIFImageDescriptor{};
    transparent_ = false;
    graphicControl_ = nullptr;
}

bool TGIFSubImage::Empty() const
{
    return pixels_.empty() || Width() == 0 || Height() == 0;
}

void TGIFSubImage::SetLeft(int left)
{
    descriptor_.Left = static_cast<std::uint16_t>(std::clamp(left, 0, 0xFFFF));
}

void TGIFSubImage::SetTop(int top)
{
    descriptor_.Top = static_cast<std::uint16_t>(std::clamp(top, 0, 0xFFFF));
}

void TGIFSubImage::SetSize(int width, int height)
{
    if (width < 0 || width > 0xFFFF || height < 0 || height > 0xFFFF)
        throw GIFException("Invalid GIF data");
    pixels_.assign(std::size_t(width) * std::size_t(height), 0);
    descriptor_.Width = static_cast<std::uint16_t>(width);
    descriptor_.Height = static_cast<std::uint16_t>(height);
}

void TGIFSubImage::SetInterlaced(bool interlaced)
{
    descriptor_.Packed = static_cast<std::uint8_t>(interlaced ? descriptor_.Packed | 0x40
                                                              : descriptor_.Packed & ~0x40);
}

const TGIFColorMap& TGIFSubImage::ActiveColorMap() const
{
    if (colorMap_.Empty() && image_ && !image_->Header().ColorMap().Empty())
        return image_->Header().ColorMap();
    return colorMap_;
}

void TGIFSubImage::LoadFromStream(TPGStream& stream)
{
    Clear();
    extensions_.LoadFromStream(stream);
    std::uint8_t next = 0;
    if (!TryReadGIFByte(stream, next))
        return;
    MoveGIFStream(stream, -1);
    if (next == 0x3B || next == 0)
        return;

    std::uint8_t bytes[10];
    ReadGIFBytes(stream, bytes, 10);
    descriptor_.Separator = bytes[0];
    descriptor_.Left = static_cast<std::uint16_t>(bytes[1] | bytes[2] << 8);
    descriptor_.Top = static_cast<std::uint16_t>(bytes[3] | bytes[4] << 8);
    descriptor_.Width = static_cast<std::uint16_t>(bytes[5] | bytes[6] << 8);
    descriptor_.Height = static_cast<std::uint16_t>(bytes[7] | bytes[8] << 8);
    descriptor_.Packed = bytes[9];
    if (descriptor_.Packed & 0x80) {
        const int count = 2 << (descriptor_.Packed & 7);
        if (count < 2 || count > 256)
            throw GIFException("Invalid number of colors specified in Image Descriptor");
        colorMap_.LoadFromStream(stream, count);
        colorMap_.SetSorted((descriptor_.Packed & 0x20) != 0);
    }
    Decode(stream);
    if (image_)
        image_->Progress(this, gpsRunning, Percent(stream), LoadingText);
}

void TGIFSubImage::Decode(TPGStream& stream)
{
    const std::int64_t pixels = std::int64_t(Width()) * Height();
    // What the data left in the stream can possibly encode; while a picture loads, its frames
    // share what the whole stream can encode.
    const bool shared = image_ && image_->pixelBudget_ >= 0;
    const std::int64_t budget =
        (shared ? image_->pixelBudget_ : StreamCapacity(stream.Remaining())) + 4096;
    if (pixels > budget)
        throw GIFException("Premature end of data");
    if (shared)
        image_->pixelBudget_ = budget - pixels;
    pixels_.assign(std::size_t(pixels), 0);
    DecodeGIFPixels(stream, pixels_.data(), Width(), Height(), Interlaced(), *this);
}

int TGIFSubImage::Version() const
{
    if ((!colorMap_.Empty() && colorMap_.Sorted()) || !extensions_.Empty())
        return 89;
    return 87;
}

void TGIFSubImage::Prepare()
{
    std::uint8_t packed = descriptor_.Packed & 0x40;
    if (!colorMap_.Empty()) {
        packed |= 0x80 | (colorMap_.BitsPerPixel() - 1);
        if (colorMap_.Sorted())
            packed |= 0x20;
    }
    descriptor_.Packed = packed;
}

void TGIFSubImage::SaveToStream(TPGStream& stream)
{
    extensions_.SaveToStream(stream);
    if (Empty())
        return;
    Prepare();
    WriteGIFByte(stream, 0x2C);
    WriteGIFWord(stream, descriptor_.Left);
    WriteGIFWord(stream, descriptor_.Top);
    WriteGIFWord(stream, descriptor_.Width);
    WriteGIFWord(stream, descriptor_.Height);
    WriteGIFByte(stream, descriptor_.Packed);
    if (!colorMap_.Empty())
        colorMap_.SaveToStream(stream);
    Encode(stream);
    if (image_)
        image_->Progress(this, gpsRunning, Percent(stream), SavingText);
}

void TGIFSubImage::Encode(TPGStream& stream) const
{
    int bits =
        !colorMap_.Empty() ? colorMap_.BitsPerPixel() : (image_ ? image_->BitsPerPixel() : 0);
    // A pixel beyond its table (as corrupt data can leave) still needs a code of its own, or
    // the data written would decode to other pixels.
    const std::uint8_t highest = *std::max_element(pixels_.begin(), pixels_.end());
    while (bits < 8 && (1 << bits) <= highest)
        ++bits;
    EncodeGIFPixels(stream, pixels_.data(), Width(), Height(), Interlaced(), std::max(bits, 2));
}

void TGIFSubImage::LoadFromFile(const std::string& fileName)
{
    TPGFileStream stream(fileName, TPGFileStream::fmOpenRead);
    LoadFromStream(stream);
}

void TGIFSubImage::Assign(const TGIFSubImage& source)
{
    if (&source == this)
        return;
    Clear();
    descriptor_ = source.descriptor_;
    colorMap_.Assign(source.colorMap_);
    pixels_ = source.pixels_;
    for (const auto& extension : source.extensions_)
        extensions_.Add(extension->Clone(this));
    transparent_ = source.transparent_;
}

// Frame list

void TGIFImageList::LoadFromStream(TPGStream& stream)
{
    for (;;) {
        std::uint8_t next = 0;
        do {
            if (!TryReadGIFByte(stream, next))
                return;
        } while (next == 0);
        if (next == 0x3B)
            break;
        MoveGIFStream(stream, -1);
        if (next != 0x21 && next != 0x2C) {
            // The trailer then reads the byte before the unknown block. The block stands where
            // the next frame would; the warning names the frame before it, or the header.
            if (image_) {
                const TGIFItem& item = items_.empty()
                                           ? static_cast<const TGIFItem&>(image_->Header())
                                           : *items_.back();
                item.Warning("Unknown GIF block type");
            }
            break;
        }
        auto frame = std::make_unique<TGIFSubImage>(image_);
        frame->LoadFromStream(stream);
        Add(std::move(frame));
    }
    MoveGIFStream(stream, -1);
}

void TGIFImageList::SaveToStream(TPGStream& stream)
{
    for (auto& frame : items_)
        frame->SaveToStream(stream);
}

// Trailer

void TGIFTrailer::LoadFromStream(TPGStream& stream)
{
    std::uint8_t trailer = 0;
    if (TryReadGIFByte(stream, trailer) && trailer != 0x3B)
        Warning("Invalid Image trailer");
}

void TGIFTrailer::SaveToStream(TPGStream& stream)
{
    WriteGIFByte(stream, 0x3B);
}

// Picture

TGIFImage::TGIFImage() : header_(this), images_(this)
{
    Clear();
}

TGIFImage::~TGIFImage()
{
    // No painter touches the picture after this; one still running on the caller's stack
    // (a draw that served the event which frees the picture) sees that it has gone.
    StopAllPainters();
    *alive_ = false;
    std::lock_guard guard(lock_);
    images_.Clear();
}

void TGIFImage::LoadFromStream(TPGStream& stream)
{
    // Before the lock: a painter being stopped may be waiting for it.
    StopAllPainters();
    std::lock_guard guard(lock_);
    Progress(nullptr, gpsStarting, 0, LoadingText);
    try {
        Clear();
        pixelBudget_ = StreamCapacity(stream.Size());
        header_.LoadFromStream(stream);
        images_.LoadFromStream(stream);
        TGIFTrailer trailer(this);
        trailer.LoadFromStream(stream);
    } catch (...) {
        pixelBudget_ = -1;
        Changed();
        Progress(nullptr, gpsEnding, 0, LoadingText);
        throw;
    }
    pixelBudget_ = -1;
    Changed();
    Progress(nullptr, gpsEnding, 100, LoadingText);
}

void TGIFImage::SaveToStream(TPGStream& stream)
{
    std::lock_guard guard(lock_);
    Progress(nullptr, gpsStarting, 0, SavingText);
    try {
        header_.Prepare();
        header_.SaveToStream(stream);
        images_.SaveToStream(stream);
        TGIFTrailer trailer(this);
        trailer.SaveToStream(stream);
    } catch (...) {
        Progress(nullptr, gpsEnding, 0, SavingText);
        throw;
    }
    Progress(nullptr, gpsEnding, 100, SavingText);
}

void TGIFImage::LoadFromFile(const std::string& fileName)
{
    TPGFileStream stream(fileName, TPGFileStream::fmOpenRead);
    LoadFromStream(stream);
}

void TGIFImage::SaveToFile(const std::string& fileName)
{
    // Encoded first, so that a picture that cannot be written leaves the file system alone.
    TPGMemoryStream encoded;
    SaveToStream(encoded);
    TPGFileStream file(fileName, TPGFileStream::fmCreate);
    try {
        file.Write(encoded.Data().data(), encoded.Data().size());
        file.Close();
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(PathFromUtf8(fileName), ignored);
        throw;
    }
}

void TGIFImage::SetWidth(int width)
{
    std::lock_guard guard(lock_);
    for (const auto& frame : images_)
        if (frame->Left() + frame->Width() > width)
            throw GIFException("Image width too small for contained frames");
    header_.Descriptor.Width = static_cast<std::uint16_t>(std::clamp(width, 0, 0xFFFF));
    DropBitmap();
    Changed();
}

void TGIFImage::SetHeight(int height)
{
    std::lock_guard guard(lock_);
    for (const auto& frame : images_)
        if (frame->Top() + frame->Height() > height)
            throw GIFException("Image height too small for contained frames");
    header_.Descriptor.Height = static_cast<std::uint16_t>(std::clamp(height, 0, 0xFFFF));
    DropBitmap();
    Changed();
}

void TGIFImage::Clear()
{
    StopAllPainters();
    std::lock_guard guard(lock_);
    images_.Clear();
    palette_.reset();
    header_.ColorMap().Clear();
    header_.Version.clear();
    header_.Descriptor.Width = 0;
    header_.Descriptor.Height = 0;
    header_.Prepare();
}

TGIFSubImage& TGIFImage::Add(const TGIFItem& source)
{
    const auto* sourceFrame = dynamic_cast<const TGIFSubImage*>(&source);
    if (!sourceFrame)
        throw GIFException("Object type not supported for operation");
    std::lock_guard guard(lock_);
    auto frame = std::make_unique<TGIFSubImage>(this);
    frame->Assign(*sourceFrame);
    TGIFSubImage& added = images_.Add(std::move(frame));
    const int right = added.Left() + added.Width();
    const int bottom = added.Top() + added.Height();
    if (right > Width() || bottom > Height()) {
        // The screen grows to contain the frame, as far as a 16-bit size reaches.
        header_.Descriptor.Width =
            static_cast<std::uint16_t>(std::min(std::max(right, Width()), 0xFFFF));
        header_.Descriptor.Height =
            static_cast<std::uint16_t>(std::min(std::max(bottom, Height()), 0xFFFF));
        added.Warning("Image exceeds Logical Screen size");
        DropBitmap();
    }
    Changed();
    return added;
}

void TGIFImage::Assign(const TGIFImage& source)
{
    if (&source == this)
        return;
    std::scoped_lock guard(lock_, const_cast<TGIFImage&>(source).lock_);
    Clear();
    header_.Assign(source.header_);
    DrawOptions = source.DrawOptions;
    WarningHandler = source.WarningHandler;
    PainterPriority = source.PainterPriority;
    BackgroundColor = source.BackgroundColor;
    for (const auto& sourceFrame : source.images_) {
        auto frame = std::make_unique<TGIFSubImage>(this);
        frame->Assign(*sourceFrame);
        images_.Add(std::move(frame));
    }
    Changed();
}

void TGIFImage::LoadFromClipboardFormat(std::uint16_t, const std::vector<std::uint8_t>&)
{
    throw GIFException("Clipboard operations not supported for GIF objects");
}

void TGIFImage::SaveToClipboardFormat(std::uint16_t&, std::vector<std::uint8_t>&) const
{
    throw GIFException("Clipboard operations not supported for GIF objects");
}

int TGIFImage::Version() const
{
    int version = 0;
    for (const auto& frame : images_) {
        version = std::max(version, frame->Version());
        if (version == 89)
            break;
    }
    return version;
}

int TGIFImage::BitsPerPixel() const
{
    int bits = header_.ColorMap().BitsPerPixel();
    for (const auto& frame : images_)
        bits = std::max(bits, frame->ColorMap().BitsPerPixel());
    return bits;
}

void TGIFImage::Warning(const TGIFItem* sender, int severity, const std::string& message) const
{
    if (WarningHandler)
        WarningHandler(sender, severity, message);
}

void TGIFImage::Progress(const TGIFItem* sender, TGIFProgressStage stage, int percentDone,
                         const std::string& message) const
{
    if (OnProgress)
        OnProgress(sender, stage, percentDone, message);
}

void TGIFImage::Changed() const
{
    if (OnChange)
        OnChange();
}

} // namespace scenaria
