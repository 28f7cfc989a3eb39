// The JPEG reader and writer drive libjpeg through its standard interface. libjpeg reports
// errors by calling back into the program, which must not return; each operation therefore
// runs in one fenced function that sets a jump point, and the callbacks jump back to it. No
// C++ exception ever crosses a libjpeg frame: everything the callbacks call that may throw
// (the stream, the message box hook, the image's own handlers) is caught on the spot, kept,
// and raised again once the fenced function has returned and the codec object is destroyed.

#include "imaging/formats/Jpeg.h"
#include "imaging/formats/Exif.h"

#include "imaging/MessageBox.h"
#include "imaging/Messages.h"
#include "imaging/RowSink.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace scenaria {

TJPEGTransform JPEGReadTransform = jtIntegerAccurate;
TJPEGTransform JPEGWriteTransform = jtFloat;
int JPEGQuality = 80;
bool JPEGProgressive = false;

namespace {

constexpr std::size_t StreamBufferSize = 64 * 1024;

[[noreturn]] void Fail(const std::string& text)
{
    throw EPGJPGFileFormatReaderWriter("JPG: " + text);
}

J_DCT_METHOD DctMethod(TJPEGTransform transform)
{
    switch (transform) {
    case jtIntegerFast:
        return JDCT_IFAST;
    case jtFloat:
        return JDCT_FLOAT;
    default:
        return JDCT_ISLOW;
    }
}

// The error manager: libjpeg's standard one with error_exit and output_message replaced.
struct TErrorManager {
    jpeg_error_mgr Pub; // first, so that libjpeg's pointer is also ours
    std::jmp_buf Jump;
    TPGWarningAction WarningAction = pgwaRaise;
    char Message[JMSG_LENGTH_MAX] = {}; // why the operation failed, when it did
    std::exception_ptr Exception;       // or this, when something of ours threw
};

TErrorManager& ErrorOf(j_common_ptr info)
{
    return *reinterpret_cast<TErrorManager*>(info->err);
}

[[noreturn]] void JumpBack(j_common_ptr info)
{
    std::longjmp(ErrorOf(info).Jump, 1);
}

void ErrorExit(j_common_ptr info)
{
    TErrorManager& error = ErrorOf(info);
    (*info->err->format_message)(info, error.Message);
    JumpBack(info);
}

// Asks the user about a warning; false when the operation is to stop (error.Message or
// error.Exception then says why).
bool AskAboutWarning(TErrorManager& error, const char* text, bool withCancel) noexcept
{
    try {
        const TPGMessageAnswer answer = PGMessageBox(
            "JPG " + PGMessage(pgmWarning), text, withCancel ? pgmbOKCancel : pgmbOK, pgmiWarning);
        if (withCancel && answer != pgmaOK) {
            std::snprintf(error.Message, sizeof error.Message, "%s", PGMessage(pgmAborted).c_str());
            return false;
        }
        return true;
    } catch (...) {
        error.Exception = std::current_exception();
        return false;
    }
}

// libjpeg's emit_message calls this for the first warning of an object only.
void OutputMessage(j_common_ptr info)
{
    TErrorManager& error = ErrorOf(info);
    char text[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, text);
    switch (error.WarningAction) {
    case pgwaIgnore:
        return;
    case pgwaOKBox:
    case pgwaOKCancelBox:
        if (AskAboutWarning(error, text, error.WarningAction == pgwaOKCancelBox))
            return;
        JumpBack(info);
    default:
        std::memcpy(error.Message, text, sizeof text);
        JumpBack(info);
    }
}

void SetUpErrorManager(TErrorManager& error, TPGWarningAction warnings)
{
    jpeg_std_error(&error.Pub);
    error.Pub.error_exit = ErrorExit;
    error.Pub.output_message = OutputMessage;
    error.WarningAction = warnings;
}

// Turns the outcome of a fenced function into the exception it stands for.
[[noreturn]] void RaiseFailure(const TErrorManager& error)
{
    if (error.Exception)
        std::rethrow_exception(error.Exception);
    Fail(error.Message);
}

// The source manager: the codec's reads become reads of the library's stream, in blocks.
struct TSourceManager {
    jpeg_source_mgr Pub;
    TPGStream* Stream = nullptr;
    std::vector<JOCTET> Buffer;
    bool StartOfFile = true;
};

TSourceManager& SourceOf(j_decompress_ptr info)
{
    return *reinterpret_cast<TSourceManager*>(info->src);
}

void InitSource(j_decompress_ptr info)
{
    SourceOf(info).StartOfFile = true;
}

bool ReadBlock(TSourceManager& source, TErrorManager& error, std::size_t& got) noexcept
{
    try {
        got = source.Stream->Read(source.Buffer.data(), source.Buffer.size());
        return true;
    } catch (...) {
        error.Exception = std::current_exception();
        return false;
    }
}

boolean FillInputBuffer(j_decompress_ptr info)
{
    TSourceManager& source = SourceOf(info);
    std::size_t got = 0;
    if (!ReadBlock(source, ErrorOf(reinterpret_cast<j_common_ptr>(info)), got))
        JumpBack(reinterpret_cast<j_common_ptr>(info));
    if (got == 0) {
        if (source.StartOfFile)
            ERREXIT(info, JERR_INPUT_EMPTY);
        // Like the codec's own file source: warn, then end the image as if it were complete.
        WARNMS(info, JWRN_JPEG_EOF);
        source.Buffer[0] = 0xFF;
        source.Buffer[1] = JPEG_EOI;
        got = 2;
    }
    source.Pub.next_input_byte = source.Buffer.data();
    source.Pub.bytes_in_buffer = got;
    source.StartOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count)
{
    TSourceManager& source = SourceOf(info);
    if (count <= 0)
        return;
    while (static_cast<std::size_t>(count) > source.Pub.bytes_in_buffer) {
        count -= static_cast<long>(source.Pub.bytes_in_buffer);
        FillInputBuffer(info);
    }
    source.Pub.next_input_byte += count;
    source.Pub.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void TermSource(j_decompress_ptr)
{
}

void SetUpSource(TSourceManager& source, TPGStream& stream)
{
    source.Stream = &stream;
    source.Buffer.resize(StreamBufferSize);
    source.Pub.init_source = InitSource;
    source.Pub.fill_input_buffer = FillInputBuffer;
    source.Pub.skip_input_data = SkipInputData;
    source.Pub.resync_to_restart = jpeg_resync_to_restart;
    source.Pub.term_source = TermSource;
    source.Pub.bytes_in_buffer = 0;
    source.Pub.next_input_byte = nullptr;
}

// The destination manager: the codec's output goes to the library's stream in blocks.
struct TDestinationManager {
    jpeg_destination_mgr Pub;
    TPGStream* Stream = nullptr;
    std::vector<JOCTET> Buffer;
};

TDestinationManager& DestinationOf(j_compress_ptr info)
{
    return *reinterpret_cast<TDestinationManager*>(info->dest);
}

bool WriteBlock(TDestinationManager& destination, TErrorManager& error, std::size_t count) noexcept
{
    try {
        destination.Stream->Write(destination.Buffer.data(), count);
        return true;
    } catch (...) {
        error.Exception = std::current_exception();
        return false;
    }
}

void InitDestination(j_compress_ptr info)
{
    TDestinationManager& destination = DestinationOf(info);
    destination.Pub.next_output_byte = destination.Buffer.data();
    destination.Pub.free_in_buffer = destination.Buffer.size();
}

boolean EmptyOutputBuffer(j_compress_ptr info)
{
    TDestinationManager& destination = DestinationOf(info);
    if (!WriteBlock(destination, ErrorOf(reinterpret_cast<j_common_ptr>(info)),
                    destination.Buffer.size()))
        JumpBack(reinterpret_cast<j_common_ptr>(info));
    InitDestination(info);
    return TRUE;
}

void TermDestination(j_compress_ptr info)
{
    TDestinationManager& destination = DestinationOf(info);
    if (!WriteBlock(destination, ErrorOf(reinterpret_cast<j_common_ptr>(info)),
                    destination.Buffer.size() - destination.Pub.free_in_buffer))
        JumpBack(reinterpret_cast<j_common_ptr>(info));
}

void SetUpDestination(TDestinationManager& destination, TPGStream& stream)
{
    destination.Stream = &stream;
    destination.Buffer.resize(StreamBufferSize);
    destination.Pub.init_destination = InitDestination;
    destination.Pub.empty_output_buffer = EmptyOutputBuffer;
    destination.Pub.term_destination = TermDestination;
}

// Calls into the image (SetSize, progress handlers) from inside a fenced function: whatever
// they throw is kept for later instead of unwinding through the codec.
template <typename F> bool Guarded(TErrorManager& error, F&& call) noexcept
{
    try {
        call();
        return true;
    } catch (...) {
        error.Exception = std::current_exception();
        return false;
    }
}

// A progressive file may repeat scans without end, and each scan costs a pass over the whole
// picture: a small file could keep the reader busy for minutes. Real files have a dozen.
constexpr int MaxScans = 500;

void CheckScanCount(j_common_ptr info)
{
    if (!info->is_decompressor)
        return;
    const int scan = reinterpret_cast<j_decompress_ptr>(info)->input_scan_number;
    if (scan > MaxScans) {
        TErrorManager& error = ErrorOf(info);
        std::snprintf(error.Message, sizeof error.Message,
                      "Scan number %d exceeds maximum scans (%d)", scan, MaxScans);
        JumpBack(info);
    }
}

struct TReadJob {
    jpeg_decompress_struct Info;
    TErrorManager Error;
    TSourceManager Source;
    jpeg_progress_mgr Progress;
    TPixelGraphic* Image = nullptr;
    bool ProgressStarted = false;
    bool ProgressEnded = false;
    bool Aborted = false;
    bool Unsupported = false;
    int Orientation = 1;
    // The row handed to a row sink. It lives here, outside the fenced function, because the
    // codec's error exit jumps past that function's destructors.
    std::vector<JSAMPLE> SinkRow;
};

// The Exif segment is kept so that the orientation tag can be read from it; the codec drops
// every other marker as before. A segment is at most 64 KiB, so this bounds what it keeps.
void SaveExifMarker(jpeg_decompress_struct& info)
{
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
}

int SavedOrientation(const jpeg_decompress_struct& info)
{
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 1)
            continue;
        const int orientation = JpegApp1Orientation(m->data, m->data_length);
        if (orientation != 1)
            return orientation;
    }
    return 1;
}

// Settings of reading, also used by GetInfo.
void SetDecompressParameters(jpeg_decompress_struct& info, const TPixelGraphic* image)
{
    info.scale_num = 1;
    info.scale_denom = 1;
    info.dct_method = image && image->FastDecoding ? JDCT_IFAST : DctMethod(JPEGReadTransform);
    info.quantize_colors = FALSE;
    info.dither_mode = JDITHER_NONE;
    info.two_pass_quantize = FALSE;
    // The image's 24-bit rows are blue, green, red: the codec delivers them in that order.
    if (info.num_components == 3 &&
        (info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB))
        info.out_color_space = JCS_EXT_BGR;
    // No picture this library can hold needs more; beyond it the codec refuses instead of
    // allocating (a progressive file keeps every coefficient in memory).
    info.mem->max_memory_to_use = static_cast<long>(MaxImageBytes);
}

// Returns whether the image was decoded; otherwise the codec object is destroyed and the job
// says why.
bool DecodeFenced(TReadJob& job, TPGStream& stream) noexcept
{
    if (setjmp(job.Error.Jump)) {
        jpeg_destroy_decompress(&job.Info);
        return false;
    }
    jpeg_CreateDecompress(&job.Info, JPEG_LIB_VERSION, sizeof job.Info);
    SetUpSource(job.Source, stream);
    job.Info.src = &job.Source.Pub;
    job.Progress.progress_monitor = CheckScanCount;
    job.Info.progress = &job.Progress;
    SaveExifMarker(job.Info);
    jpeg_read_header(&job.Info, TRUE);
    job.Orientation = SavedOrientation(job.Info);
    SetDecompressParameters(job.Info, job.Image);
    TPixelGraphic& image = *job.Image;
    TRowSink* const sink = image.RowSink;
    int reduction = 0;
    if (sink && !Guarded(job.Error, [&] {
            reduction = sink->Reduction(static_cast<int>(job.Info.image_width),
                                        static_cast<int>(job.Info.image_height), job.Orientation);
        })) {
        jpeg_destroy_decompress(&job.Info);
        return false;
    }
    // The codec's scaled transforms give a picture divided by 2, 4 or 8 for a fraction of the
    // work of a whole one.
    job.Info.scale_denom = reduction >= 8 ? 8 : reduction >= 4 ? 4 : reduction >= 2 ? 2 : 1;
    jpeg_start_decompress(&job.Info);

    const int components = job.Info.output_components;
    if (components != 1 && components != 3) {
        job.Unsupported = true;
        jpeg_destroy_decompress(&job.Info);
        return false;
    }
    const int width = static_cast<int>(job.Info.output_width);
    const int height = static_cast<int>(job.Info.output_height);
    if (!Guarded(job.Error, [&] {
            if (reduction > 0) {
                job.SinkRow.resize(static_cast<std::size_t>(width) * components);
                sink->Begin(width, height, components == 1);
            } else {
                image.SetSize(width, height, components == 1 ? bc8Bit : bc24Bit);
                if (components == 1)
                    image.SetPaletteIdent(pGray256);
            }
            job.ProgressStarted = true;
            image.DoProgressStart();
        })) {
        jpeg_destroy_decompress(&job.Info);
        return false;
    }
    while (job.Info.output_scanline < job.Info.output_height) {
        JSAMPROW row = reduction > 0 ? job.SinkRow.data()
                                     : image.ScanLine(static_cast<int>(job.Info.output_scanline));
        jpeg_read_scanlines(&job.Info, &row, 1);
        if (!Guarded(job.Error, [&] {
                if (reduction > 0)
                    sink->Row(row);
                job.Aborted = image.DoProgress(static_cast<int>(job.Info.output_scanline), height);
            })) {
            jpeg_destroy_decompress(&job.Info);
            return false;
        }
        if (job.Aborted)
            break;
    }
    if (reduction > 0 && !job.Aborted && !Guarded(job.Error, [&] { sink->End(); })) {
        jpeg_destroy_decompress(&job.Info);
        return false;
    }
    job.ProgressEnded = true;
    if (!Guarded(job.Error, [&] { image.DoProgressEnd(); })) {
        jpeg_destroy_decompress(&job.Info);
        return false;
    }
    // After an abort the codec finds rows missing and says so.
    jpeg_finish_decompress(&job.Info);
    jpeg_destroy_decompress(&job.Info);
    return true;
}

struct TInfoJob {
    jpeg_decompress_struct Info;
    TErrorManager Error;
    TSourceManager Source;
    int Width = 0;
    int Height = 0;
    int Components = 0;
    int ColorSpace = 0;
    bool Progressive = false;
    bool Jfif = false;
    bool Adobe = false;
    int Orientation = 1;
};

bool ReadHeaderFenced(TInfoJob& job, TPGStream& stream) noexcept
{
    if (setjmp(job.Error.Jump)) {
        jpeg_destroy_decompress(&job.Info);
        return false;
    }
    jpeg_CreateDecompress(&job.Info, JPEG_LIB_VERSION, sizeof job.Info);
    SetUpSource(job.Source, stream);
    job.Info.src = &job.Source.Pub;
    SaveExifMarker(job.Info);
    jpeg_read_header(&job.Info, TRUE);
    job.Orientation = SavedOrientation(job.Info);
    SetDecompressParameters(job.Info, nullptr);
    job.Width = static_cast<int>(job.Info.image_width);
    job.Height = static_cast<int>(job.Info.image_height);
    job.Components = job.Info.num_components;
    job.ColorSpace = job.Info.jpeg_color_space;
    job.Progressive = job.Info.progressive_mode;
    job.Jfif = job.Info.saw_JFIF_marker;
    job.Adobe = job.Info.saw_Adobe_marker;
    jpeg_destroy_decompress(&job.Info);
    return true;
}

struct TWriteJob {
    jpeg_compress_struct Info;
    TErrorManager Error;
    TDestinationManager Destination;
    TPixelGraphic* Image = nullptr;
    bool ProgressStarted = false;
    bool ProgressEnded = false;
};

bool EncodeFenced(TWriteJob& job, TPGStream& stream) noexcept
{
    if (setjmp(job.Error.Jump)) {
        jpeg_destroy_compress(&job.Info);
        return false;
    }
    jpeg_CreateCompress(&job.Info, JPEG_LIB_VERSION, sizeof job.Info);
    SetUpDestination(job.Destination, stream);
    job.Info.dest = &job.Destination.Pub;

    TPixelGraphic& image = *job.Image;
    const bool gray = image.BitCount() == bc8Bit;
    job.Info.image_width = static_cast<JDIMENSION>(image.Width());
    job.Info.image_height = static_cast<JDIMENSION>(image.Height());
    job.Info.input_components = gray ? 1 : 3;
    job.Info.in_color_space = gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&job.Info);
    if (JPEGProgressive)
        jpeg_simple_progression(&job.Info);
    jpeg_set_quality(&job.Info, JPEGQuality, TRUE);
    job.Info.dct_method = DctMethod(JPEGWriteTransform);
    jpeg_start_compress(&job.Info, TRUE);

    job.ProgressStarted = true;
    if (!Guarded(job.Error, [&] { image.DoProgressStart(); })) {
        jpeg_destroy_compress(&job.Info);
        return false;
    }
    const int height = image.Height();
    while (job.Info.next_scanline < job.Info.image_height) {
        JSAMPROW row = image.ScanLine(static_cast<int>(job.Info.next_scanline));
        jpeg_write_scanlines(&job.Info, &row, 1);
        // Writing has no way back once begun, so an abort request is not honoured.
        if (!Guarded(job.Error,
                     [&] { image.DoProgress(static_cast<int>(job.Info.next_scanline), height); })) {
            jpeg_destroy_compress(&job.Info);
            return false;
        }
    }
    job.ProgressEnded = true;
    if (!Guarded(job.Error, [&] { image.DoProgressEnd(); })) {
        jpeg_destroy_compress(&job.Info);
        return false;
    }
    jpeg_finish_compress(&job.Info);
    jpeg_destroy_compress(&job.Info);
    return true;
}

// OnProgressEnd for an operation that failed after OnProgressStart, without hiding the
// failure itself.
void EndProgressAfterFailure(TPixelGraphic& image, bool started, bool ended)
{
    if (started && !ended) {
        try {
            image.DoProgressEnd();
        } catch (...) {
        }
    }
}

// Creating a codec object with given sizes; the codec compares them with its own.
struct TProbeJob {
    jpeg_decompress_struct Decompress;
    jpeg_compress_struct Compress;
    TErrorManager Error;
    int Code = 0;
    long Parameter = 0;
};

bool ProbeFenced(TProbeJob& job, bool compress, int version, std::size_t size) noexcept
{
    if (setjmp(job.Error.Jump)) {
        job.Code = job.Error.Pub.msg_code;
        job.Parameter = job.Error.Pub.msg_parm.i[0];
        return false;
    }
    if (compress) {
        jpeg_CreateCompress(&job.Compress, version, size);
        jpeg_destroy_compress(&job.Compress);
    } else {
        jpeg_CreateDecompress(&job.Decompress, version, size);
        jpeg_destroy_decompress(&job.Decompress);
    }
    return true;
}

void CheckStructure(int version, bool compress, std::size_t size)
{
    TProbeJob job;
    SetUpErrorManager(job.Error, pgwaRaise);
    job.Decompress.err = &job.Error.Pub;
    job.Compress.err = &job.Error.Pub;
    if (ProbeFenced(job, compress, version, size))
        return;
    if (job.Code == JERR_BAD_STRUCT_SIZE) {
        const char* name = compress ? "jpeg_compress_struct" : "jpeg_decompress_struct";
        throw EPixelGraphic(std::string(name) + ": the sizes are different (" +
                            std::to_string(job.Parameter) + " bytes in the codec, " +
                            std::to_string(size) + " in this program)");
    }
    Fail("Invalid library version");
}

} // namespace

void CheckJPEGCodec(int interfaceVersion, std::size_t decompressSize, std::size_t compressSize)
{
    // The release as the codec names itself: "6b" for interface 62, "8d" for 80.
    jpeg_error_mgr error;
    jpeg_std_error(&error);
    const char* release = error.jpeg_message_table && error.last_jpeg_message >= JMSG_VERSION
                              ? error.jpeg_message_table[JMSG_VERSION]
                              : nullptr;
    const std::string expected = std::to_string(interfaceVersion / 10);
    if (!release || std::strncmp(release, expected.c_str(), expected.size()) != 0)
        Fail("Invalid library version");
    if (interfaceVersion % 10 != 0 &&
        release[expected.size()] != static_cast<char>('a' + interfaceVersion % 10 - 1))
        Fail("Invalid library version");
    CheckStructure(interfaceVersion, false, decompressSize);
    CheckStructure(interfaceVersion, true, compressSize);
}

void CheckJPEGCodec()
{
    // The answer cannot change while the program runs; it is found once and given every time.
    static std::once_flag once;
    static std::exception_ptr failure;
    std::call_once(once, [] {
        try {
            CheckJPEGCodec(JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct),
                           sizeof(jpeg_compress_struct));
        } catch (...) {
            failure = std::current_exception();
        }
    });
    if (failure)
        std::rethrow_exception(failure);
}

TJPGFileFormatReader::TJPGFileFormatReader(std::string className, std::string extension)
    : TFileFormatReader(std::move(className), std::move(extension), "JPEG (JFIF compliant)", true)
{
}

bool TJPGFileFormatReader::CanRead(const TFileHeader& header) const
{
    return header[0] == 0xFF && header[1] == 0xD8;
}

void TJPGFileFormatReader::Read(TPGStream& stream, TPixelGraphic& image, int index) const
{
    if (index != 0)
        Fail(PGMessage(pgmInvalid, "Index"));
    CheckJPEGCodec();
    image.Gamma = DisplayGamma;
    TReadJob job;
    job.Image = &image;
    SetUpErrorManager(job.Error, image.ReadWarningAction);
    job.Info.err = &job.Error.Pub;
    if (DecodeFenced(job, stream)) {
        image.Orientation = job.Orientation;
        return;
    }
    EndProgressAfterFailure(image, job.ProgressStarted, job.ProgressEnded);
    if (job.Unsupported)
        Fail(PGMessage(pgmNotSupportedSubformat));
    RaiseFailure(job.Error);
}

void TJPGFileFormatReader::GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const
{
    info = TPGImageInfo{};
    if (index != 0)
        Fail(PGMessage(pgmInvalidValue, "Index"));
    CheckJPEGCodec();
    TInfoJob job;
    SetUpErrorManager(job.Error, pgwaRaise);
    job.Info.err = &job.Error.Pub;
    if (!ReadHeaderFenced(job, stream))
        RaiseFailure(job.Error);
    info.Width = job.Width;
    info.Height = job.Height;
    info.Orientation = job.Orientation;
    info.BitsPerPixel = 8 * job.Components;
    static const char* const Colors[] = {"256", "64K", "16.7M", "4294.9M"};
    info.Colors = job.Components >= 1 && job.Components <= 4 ? Colors[job.Components - 1] : "?";
    static const char* const Spaces[] = {"unknown", "GrayScale", "RGB", "YCbCr", "CMYK", "YCbCrK"};
    std::string subformat =
        job.ColorSpace >= 0 && job.ColorSpace <= 5 ? Spaces[job.ColorSpace] : "";
    if (job.Progressive)
        subformat += ", Progressive";
    if (job.Adobe)
        subformat = "Adope, " + subformat;
    if (job.Jfif)
        subformat = "JFIF, " + subformat;
    info.Subformat = subformat;
}

TJPGFileFormatWriter::TJPGFileFormatWriter(std::string className, std::string extension)
    : TFileFormatWriter(std::move(className), std::move(extension), "JPEG (JFIF compliant)",
                        ColorResolutions({cr256Grays, crTrueColor}))
{
}

void TJPGFileFormatWriter::Write(TPGStream& stream, TPixelGraphic& image) const
{
    CheckJPEGCodec();
    image.IdentifyPalette();
    if (image.BitCount() != bc24Bit &&
        !(image.BitCount() == bc8Bit && image.PaletteIdent() == pGray256))
        Fail(PGMessage(pgmInvalidValue, "BitCount"));
    TWriteJob job;
    job.Image = &image;
    SetUpErrorManager(job.Error, image.ReadWarningAction);
    job.Info.err = &job.Error.Pub;
    if (EncodeFenced(job, stream))
        return;
    EndProgressAfterFailure(image, job.ProgressStarted, job.ProgressEnded);
    RaiseFailure(job.Error);
}

} // namespace scenaria
