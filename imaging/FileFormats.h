#pragma once
// Picture files: the readers and writers of the formats and the two registries that hold them.
//
// Loading asks the reader registry which reader recognises the first 17 bytes of the data (the
// extension only decides for formats without a signature); saving asks the writer registry for
// the writer of the extension and then settles the colour resolution that writer can store,
// converting a copy of the image when it must. The entries themselves are made in
// imaging/formats/Registry.cpp, which also says how a format is added.

#include "imaging/PixelGraphic.h"
#include "imaging/Stream.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace scenaria {

// The first bytes of the data that readers recognise their format by. Data shorter than this
// is padded with zeros.
inline constexpr std::size_t FileHeaderSize = 17;
using TFileHeader = std::array<std::uint8_t, FileHeaderSize>;

// Colour resolutions, in the order of the message records that name them (record 8 + code).
enum TColorResolution : int {
    crBlackWhite,  // 1 bit, pBlackWhite
    cr2Colors,     // 1 bit, any other palette
    cr16Grays,     // 4 bits, pGray16
    cr16SysColors, // 4 bits, pSys16
    cr16Colors,    // 4 bits, any other palette
    cr256Grays,    // 8 bits, pGray256
    cr256Colors,   // 8 bits, any other palette
    crTrueColor,   // 24 bits
};
// A set of colour resolutions: bit n stands for code n.
using TColorResolutions = std::uint8_t;
inline constexpr TColorResolutions AllColorResolutions = 0xFF;
constexpr TColorResolutions ColorResolutions(std::initializer_list<TColorResolution> codes)
{
    TColorResolutions set = 0;
    for (const TColorResolution code : codes)
        set = static_cast<TColorResolutions>(set | 1u << code);
    return set;
}
// The resolution an image has now, from its BitCount and PaletteIdent.
TColorResolution ColorResolutionOf(const TPixelGraphic& image);
// Its name ("black and white" ... "16.7 million colors").
std::string ColorResolutionName(TColorResolution code);
// The resolution a writer that can store the given set uses for an image of the current one;
// false when the set holds none of the preference row.
bool ChooseColorResolution(TColorResolution current, TColorResolutions canWrite,
                           TColorResolution& chosen);

// What GetInfo tells about a file without decoding it.
struct TPGImageInfo {
    int ImageCount = 1;
    int BitsPerPixel = 0;
    std::string Colors;
    int Height = 0;
    int Width = 0;
    std::string Remark;
    std::string Subformat;
    // The orientation tag (Exif's 1..8) the pixels are stored with; 1 when the file has none or
    // its decoder turns the pixels upright itself.
    int Orientation = 1;
};

class TFileFormatReaderWriter {
public:
    // className names the class in messages; extension is lower case without the dot.
    TFileFormatReaderWriter(std::string className, std::string extension, std::string description);
    virtual ~TFileFormatReaderWriter();
    TFileFormatReaderWriter(const TFileFormatReaderWriter&) = delete;
    TFileFormatReaderWriter& operator=(const TFileFormatReaderWriter&) = delete;

    const std::string& ClassName() const { return className_; }
    const std::string& Extension() const { return extension_; }
    const std::string& Description() const { return description_; }

private:
    std::string className_;
    std::string extension_;
    std::string description_;
};

// Readers are stateless between calls and shared by every image; each call gets what it needs.
class TFileFormatReader : public TFileFormatReaderWriter {
public:
    TFileFormatReader(std::string className, std::string extension, std::string description,
                      bool canDetect);

    // The reader recognises its format by the first bytes (CanRead); otherwise it is chosen by
    // the extension alone.
    bool CanDetect() const { return canDetect_; }
    virtual bool CanRead(const TFileHeader& header) const;
    // Fills the image from the stream positioned at the start of the data; index selects an
    // image in files that hold several.
    virtual void Read(TPGStream& stream, TPixelGraphic& image, int index) const;
    // Describes the file without decoding its pixels; the base reports one image of size 0.
    virtual void GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const;

private:
    bool canDetect_;
};

class TFileFormatWriter : public TFileFormatReaderWriter {
public:
    TFileFormatWriter(std::string className, std::string extension, std::string description,
                      TColorResolutions canWriteResolutions);

    TColorResolutions CanWriteResolutions() const { return canWriteResolutions_; }
    // Writes the image, whose colour resolution is one of CanWriteResolutions.
    virtual void Write(TPGStream& stream, TPixelGraphic& image) const;

private:
    TColorResolutions canWriteResolutions_;
};

// The readers and writers, each list kept in the order of their lower-case extensions, which is
// the order searches run in.
class TFileFormatRegistry {
public:
    void AddReader(std::unique_ptr<TFileFormatReader> reader);
    void AddWriter(std::unique_ptr<TFileFormatWriter> writer);
    // The writer of SaveToStream and form streaming (a BMP writer).
    void SetStreamWriter(std::unique_ptr<TFileFormatWriter> writer);

    const std::vector<std::unique_ptr<TFileFormatReader>>& Readers() const { return readers_; }
    const std::vector<std::unique_ptr<TFileFormatWriter>>& Writers() const { return writers_; }
    const TFileFormatWriter* StreamWriter() const { return streamWriter_.get(); }

    // The first detecting reader that accepts the header, else the first reader without
    // detection whose extension is the given one (with or without its dot, any case); null
    // when none fits.
    const TFileFormatReader* FindReader(const TFileHeader& header,
                                        std::string_view extension) const;
    // The reader for the data at the stream's position, which is left where it was; null when
    // none fits or the stream cannot be read.
    const TFileFormatReader* FindReader(TPGStream& stream, std::string_view extension) const;
    // The writer of the extension (with or without its dot, any case); raises
    // EPGFileFormatWritersEmpty when there are no writers at all and EPGUnknownExtension when
    // none has the extension.
    const TFileFormatWriter& FindWriter(std::string_view extension) const;

private:
    std::vector<std::unique_ptr<TFileFormatReader>> readers_;
    std::vector<std::unique_ptr<TFileFormatWriter>> writers_;
    std::unique_ptr<TFileFormatWriter> streamWriter_;
};

// The library's registry, filled with every format on first use.
const TFileFormatRegistry& FileFormats();
// Fills a registry with the library's formats (imaging/formats/Registry.cpp).
void RegisterFileFormats(TFileFormatRegistry& registry);

// Lower case of an extension without a leading dot.
std::string NormalizeExtension(std::string_view extension);
// The extension of a file name, lower case, without the dot; empty when it has none.
std::string FileNameExtension(const std::string& fileName);

// Reads the first bytes of the stream as a reader sees them, zero-padded, and leaves the stream
// where it was.
TFileHeader PeekFileHeader(TPGStream& stream);

// Settles the colour resolution for the writer: null when it stores the image as it is, else a
// copy converted to the resolution it prefers, after the image's SaveColorResWarningAction has
// allowed that. Raises EPGCanWriteResolutionsEmpty or EPGCannotWriteColorRes. The image itself is
// not changed (its palette is identified).
std::unique_ptr<TPixelGraphic> PrepareForWriter(const TFileFormatWriter& writer,
                                                TPixelGraphic& image);

} // namespace scenaria
