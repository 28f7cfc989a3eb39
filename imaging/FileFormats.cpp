#include "imaging/FileFormats.h"

#include "imaging/MessageBox.h"
#include "imaging/Messages.h"

#include <algorithm>
#include <cctype>

namespace scenaria {

namespace {

// For each current resolution, the resolutions tried in turn until the writer has one.
constexpr TColorResolution Preference[8][8] = {
    {crBlackWhite, cr2Colors, cr16Grays, cr16SysColors, cr16Colors, cr256Grays, cr256Colors,
     crTrueColor},
    {cr2Colors, cr16Colors, cr256Colors, crTrueColor, cr16SysColors, crBlackWhite, cr16Grays,
     cr256Grays},
    {cr16Grays, cr16Colors, cr256Grays, cr256Colors, crTrueColor, cr16SysColors, crBlackWhite,
     cr2Colors},
    {cr16SysColors, cr16Colors, cr256Colors, crTrueColor, cr16Grays, cr256Grays, crBlackWhite,
     cr2Colors},
    {cr16Colors, cr256Colors, crTrueColor, cr16SysColors, cr16Grays, cr256Grays, crBlackWhite,
     cr2Colors},
    {cr256Grays, cr256Colors, crTrueColor, cr16Grays, cr16Colors, cr16SysColors, crBlackWhite,
     cr2Colors},
    {cr256Colors, crTrueColor, cr16Colors, cr16SysColors, cr256Grays, cr16Grays, crBlackWhite,
     cr2Colors},
    {crTrueColor, cr256Colors, cr16Colors, cr16SysColors, cr256Grays, cr16Grays, crBlackWhite,
     cr2Colors},
};

template <typename T> bool ByExtension(const std::unique_ptr<T>& a, const std::unique_ptr<T>& b)
{
    return a->Extension() < b->Extension();
}

} // namespace

std::string NormalizeExtension(std::string_view extension)
{
    if (!extension.empty() && extension.front() == '.')
        extension.remove_prefix(1);
    std::string result(extension);
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::string FileNameExtension(const std::string& fileName)
{
    const auto slash = fileName.find_last_of("/\\");
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return NormalizeExtension(std::string_view(fileName).substr(dot + 1));
}

TColorResolution ColorResolutionOf(const TPixelGraphic& image)
{
    switch (image.BitCount()) {
    case bc1Bit:
        return image.PaletteIdent() == pBlackWhite ? crBlackWhite : cr2Colors;
    case bc4Bit:
        if (image.PaletteIdent() == pSys16)
            return cr16SysColors;
        return image.PaletteIdent() == pGray16 ? cr16Grays : cr16Colors;
    case bc8Bit:
        return image.PaletteIdent() == pGray256 ? cr256Grays : cr256Colors;
    default:
        return crTrueColor;
    }
}

std::string ColorResolutionName(TColorResolution code)
{
    return PGMessage(static_cast<int>(pgmBlackAndWhite) + static_cast<int>(code));
}

bool ChooseColorResolution(TColorResolution current, TColorResolutions canWrite,
                           TColorResolution& chosen)
{
    for (const TColorResolution code : Preference[current]) {
        if (canWrite & 1u << code) {
            chosen = code;
            return true;
        }
    }
    return false;
}

TFileFormatReaderWriter::TFileFormatReaderWriter(std::string className, std::string extension,
                                                 std::string description)
    : className_(std::move(className)), extension_(NormalizeExtension(extension)),
      description_(std::move(description))
{
}

TFileFormatReaderWriter::~TFileFormatReaderWriter() = default;

TFileFormatReader::TFileFormatReader(std::string className, std::string extension,
                                     std::string description, bool canDetect)
    : TFileFormatReaderWriter(std::move(className), std::move(extension), std::move(description)),
      canDetect_(canDetect)
{
}

bool TFileFormatReader::CanRead(const TFileHeader&) const
{
    return false;
}

void TFileFormatReader::Read(TPGStream&, TPixelGraphic&, int) const
{
}

void TFileFormatReader::GetInfo(TPGStream&, int, TPGImageInfo& info) const
{
    info = TPGImageInfo{};
}

TFileFormatWriter::TFileFormatWriter(std::string className, std::string extension,
                                     std::string description, TColorResolutions canWriteResolutions)
    : TFileFormatReaderWriter(std::move(className), std::move(extension), std::move(description)),
      canWriteResolutions_(canWriteResolutions)
{
}

void TFileFormatWriter::Write(TPGStream&, TPixelGraphic&) const
{
}

void TFileFormatRegistry::AddReader(std::unique_ptr<TFileFormatReader> reader)
{
    // Kept sorted as entries arrive, so that searches never reorder a list another thread may
    // be walking.
    const auto at =
        std::upper_bound(readers_.begin(), readers_.end(), reader, ByExtension<TFileFormatReader>);
    readers_.insert(at, std::move(reader));
}

void TFileFormatRegistry::AddWriter(std::unique_ptr<TFileFormatWriter> writer)
{
    const auto at =
        std::upper_bound(writers_.begin(), writers_.end(), writer, ByExtension<TFileFormatWriter>);
    writers_.insert(at, std::move(writer));
}

void TFileFormatRegistry::SetStreamWriter(std::unique_ptr<TFileFormatWriter> writer)
{
    streamWriter_ = std::move(writer);
}

const TFileFormatReader* TFileFormatRegistry::FindReader(const TFileHeader& header,
                                                         std::string_view extension) const
{
    for (const auto& reader : readers_)
        if (reader->CanDetect() && reader->CanRead(header))
            return reader.get();
    const std::string ext = NormalizeExtension(extension);
    if (!ext.empty())
        for (const auto& reader : readers_)
            if (!reader->CanDetect() && reader->Extension() == ext)
                return reader.get();
    return nullptr;
}

TFileHeader PeekFileHeader(TPGStream& stream)
{
    TFileHeader header{};
    const std::uint64_t position = stream.Position();
    stream.Read(header.data(), header.size());
    stream.Seek(position);
    return header;
}

const TFileFormatReader* TFileFormatRegistry::FindReader(TPGStream& stream,
                                                         std::string_view extension) const
{
    try {
        return FindReader(PeekFileHeader(stream), extension);
    } catch (const std::exception&) {
        // Data that cannot even be probed is data that no reader recognises.
        return nullptr;
    }
}

const TFileFormatWriter& TFileFormatRegistry::FindWriter(std::string_view extension) const
{
    if (writers_.empty())
        throw EPGFileFormatWritersEmpty(PGMessage(pgmIsEmpty, "FileFormatWriters"));
    const std::string ext = NormalizeExtension(extension);
    for (const auto& writer : writers_)
        if (writer->Extension() == ext)
            return *writer;
    throw EPGUnknownExtension(PGMessage(pgmUnknownExtension, ext));
}

const TFileFormatRegistry& FileFormats()
{
    static const TFileFormatRegistry registry = [] {
        TFileFormatRegistry r;
        RegisterFileFormats(r);
        return r;
    }();
    return registry;
}

std::unique_ptr<TPixelGraphic> PrepareForWriter(const TFileFormatWriter& writer,
                                                TPixelGraphic& image)
{
    image.IdentifyPalette();
    const TColorResolution current = ColorResolutionOf(image);
    TColorResolution target = current;
    if (!ChooseColorResolution(current, writer.CanWriteResolutions(), target))
        throw EPGCanWriteResolutionsEmpty(
            PGMessage(pgmIsEmpty, writer.ClassName() + ".CanWriteResolutions"));
    if (target == current)
        return nullptr;

    bool allowed = false;
    switch (image.SaveColorResWarningAction) {
    case pgwaIgnore:
        allowed = true;
        break;
    case pgwaOKBox:
    case pgwaOKCancelBox: {
        const bool okOnly = image.SaveColorResWarningAction == pgwaOKBox;
        const TPGMessageAnswer answer =
            PGMessageBox(PGMessage(pgmWarning),
                         PGMessage(pgmColorResWarning, writer.Description(),
                                   ColorResolutionName(current), ColorResolutionName(target)),
                         okOnly ? pgmbOK : pgmbOKCancel, pgmiWarning);
        allowed = okOnly || answer == pgmaOK;
        break;
    }
    default:
        allowed = false;
        break;
    }
    if (!allowed)
        throw EPGCannotWriteColorRes(
            PGMessage(pgmCannotWriteColorRes, writer.Description(), ColorResolutionName(current)));

    auto copy = std::make_unique<TPixelGraphic>();
    copy->OnProgress = image.OnProgress;
    copy->OnProgressStart = image.OnProgressStart;
    copy->OnProgressEnd = image.OnProgressEnd;
    static constexpr TBitCount BitsOf[8] = {bc1Bit, bc1Bit, bc4Bit, bc4Bit,
                                            bc4Bit, bc8Bit, bc8Bit, bc24Bit};
    copy->SetSize(image.Width(), image.Height(), BitsOf[target]);
    switch (target) {
    case crBlackWhite:
        copy->SetPaletteIdent(pBlackWhite);
        break;
    case cr2Colors:
        MakeOptimizedPalette(*copy, image, 2, false);
        break;
    case cr16Grays:
        copy->SetPaletteIdent(pGray16);
        break;
    case cr16SysColors:
        copy->SetPaletteIdent(pSys16);
        break;
    case cr16Colors:
        MakeOptimizedPalette(*copy, image, 16, false);
        break;
    case cr256Grays:
        copy->SetPaletteIdent(pGray256);
        break;
    case cr256Colors:
        MakeOptimizedPalette(*copy, image, 252, true);
        break;
    case crTrueColor:
        break;
    }
    copy->CopyFrom(image);
    copy->IdentifyPalette();
    return copy;
}

} // namespace scenaria
