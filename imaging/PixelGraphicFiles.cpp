// TPixelGraphic's picture files and streams: the entry points that hand the work to the
// readers and writers of the registry.

#include "imaging/FileFormats.h"
#include "imaging/Messages.h"
#include "imaging/PixelGraphic.h"
#include "imaging/Stream.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>

namespace scenaria {

namespace {

// Keeps the update count balanced whichever way loading ends.
class TUpdateScope {
public:
    explicit TUpdateScope(TPixelGraphic& image) : image_(image) { image_.BeginUpdate(); }
    ~TUpdateScope() noexcept(false)
    {
        // A change handler that throws must not replace the exception that is on its way.
        if (std::uncaught_exceptions() > exceptions_) {
            try {
                image_.EndUpdate();
            } catch (...) {
            }
        } else {
            image_.EndUpdate();
        }
    }
    TUpdateScope(const TUpdateScope&) = delete;
    TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
    TPixelGraphic& image_;
    int exceptions_ = std::uncaught_exceptions();
};

// A name beside the target that no one else uses, hidden on systems that hide dot files.
std::filesystem::path TemporarySibling(const std::filesystem::path& target)
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const std::string suffix = std::to_string(random() & 0xFFFFFFFFFFFF);
    std::filesystem::path name = target;
    name.replace_filename("." + target.filename().string() + "." + suffix + ".tmp");
    return name;
}

std::string Utf8Of(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

void TPixelGraphic::LoadFromFile(const std::string& fileName, int index)
{
    TPGFileStream stream(fileName, TPGFileStream::fmOpenRead);
    LoadFromStreamAs(stream, FileNameExtension(fileName), index);
}

void TPixelGraphic::LoadFromStream(TPGStream& stream)
{
    LoadFromStreamAs(stream, {}, 0);
}

void TPixelGraphic::LoadFromStreamAs(TPGStream& stream, std::string_view extension, int index)
{
    const TUpdateScope update(*this);
    // Back to the state of a new image, so that nothing of the previous picture survives a
    // reader that fails early.
    SetSize(0, 0, bc24Bit);
    SetPaletteCount(0);
    Gamma = DisplayGamma;
    Orientation = 1;
    const TFileFormatReader* reader = FileFormats().FindReader(stream, extension);
    if (!reader)
        throw EPGUnknownFileFormat(PGMessage(pgmUnknownFileFormat));
    reader->Read(stream, *this, index);
    ApplyGammaCorrection();
    IdentifyPalette();
}

void TPixelGraphic::SaveToStreamAs(TPGStream& stream, std::string_view extension)
{
    const TFileFormatWriter& writer = FileFormats().FindWriter(extension);
    const std::unique_ptr<TPixelGraphic> converted = PrepareForWriter(writer, *this);
    writer.Write(stream, converted ? *converted : *this);
}

void TPixelGraphic::SaveToStream(TPGStream& stream)
{
    FileFormats().StreamWriter()->Write(stream, *this);
}

void TPixelGraphic::SaveToFile(const std::string& fileName)
{
    // Everything that can refuse the save happens before the file system is touched, so that a
    // refusal leaves an existing file as it was.
    const TFileFormatWriter& writer = FileFormats().FindWriter(FileNameExtension(fileName));
    const std::unique_ptr<TPixelGraphic> converted = PrepareForWriter(writer, *this);
    TPixelGraphic& source = converted ? *converted : *this;

    std::filesystem::path target = PathFromUtf8(fileName);
    std::error_code ec;
    // Saving through a link replaces the file it points to, not the link.
    if (std::filesystem::is_symlink(target, ec) && std::filesystem::exists(target, ec)) {
        const auto resolved = std::filesystem::canonical(target, ec);
        if (!ec)
            target = resolved;
    }
    const bool existed = std::filesystem::exists(target, ec);
    if (existed) {
        // Renaming would replace even a file the user may not write; refuse as writing would.
        std::filebuf probe;
        errno = 0;
        if (!probe.open(target, std::ios::out | std::ios::app | std::ios::binary))
            throw EFCreateError("Cannot create file \"" + fileName + "\". " +
                                std::generic_category().message(errno ? errno : EACCES));
    }

    // The picture is written under a temporary name beside the target and renamed over it only
    // once complete: a failed save then neither leaves a partial new file nor destroys the
    // file it was to replace, and whoever watches the target never sees it half written.
    std::filesystem::path temporary;
    std::unique_ptr<TPGFileStream> stream;
    for (int attempt = 0; attempt < 4 && !stream; ++attempt) {
        temporary = TemporarySibling(target);
        try {
            stream = std::make_unique<TPGFileStream>(Utf8Of(temporary),
                                                     TPGFileStream::fmCreateExclusive);
        } catch (const EStreamError&) {
        }
    }
    if (!stream) {
        // A folder that takes no new files may still let the file itself be rewritten.
        temporary.clear();
        stream = std::make_unique<TPGFileStream>(Utf8Of(target), TPGFileStream::fmCreate);
    }
    try {
        writer.Write(*stream, source);
        stream->Close();
        if (!temporary.empty()) {
            if (existed) {
                const auto permissions = std::filesystem::status(target, ec).permissions();
                if (!ec)
                    std::filesystem::permissions(temporary, permissions, ec);
            }
            std::filesystem::rename(temporary, target, ec);
            if (ec)
                throw EFCreateError("Cannot create file \"" + fileName + "\". " + ec.message());
        }
    } catch (...) {
        stream.reset();
        if (!temporary.empty())
            std::filesystem::remove(temporary, ec);
        else if (!existed)
            std::filesystem::remove(target, ec);
        throw;
    }
}

void TPixelGraphic::WriteData(TPGStream& stream)
{
    const std::uint64_t start = stream.Position();
    const std::uint8_t placeholder[4] = {};
    stream.Write(placeholder, 4);
    SaveToStream(stream);
    const std::uint64_t end = stream.Position();
    const std::uint64_t length = end - start - 4;
    if (length > 0xFFFFFFFFu)
        throw EWriteError("Stream write error");
    const std::uint8_t field[4] = {
        static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
        static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
    stream.Seek(start);
    stream.Write(field, 4);
    stream.Seek(end);
}

void TPixelGraphic::ReadData(TPGStream& stream)
{
    std::uint8_t field[4];
    stream.ReadBuffer(field, 4);
    const std::uint32_t length =
        field[0] | field[1] << 8 | field[2] << 16 | static_cast<std::uint32_t>(field[3]) << 24;
    const std::uint64_t start = stream.Position();
    // The picture is read through a window of its own length, so that a damaged one cannot
    // reach into whatever the stream holds after it.
    TPGSubStream picture(stream, length);
    LoadFromStreamAs(picture, "bmp", 0);
    stream.Seek(start + picture.Size());
}

} // namespace scenaria
