// Every picture format the library knows, registered in one place.
//
// Adding a format:
//  1. Write imaging/formats/<Format>.h/.cpp with a reader class derived from TFileFormatReader
//     (class name, lower-case extension, description, and whether it recognises its data) and,
//     when the format is written, a writer class derived from TFileFormatWriter with the set of
//     colour resolutions it stores (CanWriteResolutions). One class per extension: "tif" and
//     "tiff" are two small classes over one implementation.
//  2. The reader overrides CanRead (the signature in the first FileHeaderSize bytes, which are
//     zero past the end of short data), Read (fills the image from the stream; checks every
//     declared length against stream.Remaining() before allocating; raises the format's
//     exception class with the format's tag, e.g. "PCX: ") and GetInfo. A reader without a
//     signature passes canDetect = false and is then chosen by the file name's extension only.
//  3. The writer overrides Write; the framework has already converted the image to one of its
//     resolutions, so it never sees one it cannot store.
//  4. Add one line per class below (the lists sort themselves by extension), the source file to
//     imaging/CMakeLists.txt, and a fuzz target fuzz/Fuzz<Format>.cpp with seeds in
//     fuzz/corpus/<format>/ (scenaria_fuzz_target in fuzz/CMakeLists.txt).

#include "imaging/FileFormats.h"
#include "imaging/formats/Bmp.h"
#include "imaging/formats/Jpeg.h"
#include "imaging/formats/Pcx.h"
#include "imaging/formats/Png.h"
#include "imaging/formats/Pnm.h"
#include "imaging/formats/Tga.h"
#include "imaging/formats/Tiff.h"
#if SCENARIA_HAVE_WEBP
#include "imaging/formats/WebP.h"
#endif
#if SCENARIA_HAVE_HEIF
#include "imaging/formats/Heif.h"
#endif
#if SCENARIA_HAVE_JXL
#include "imaging/formats/Jxl.h"
#endif

namespace scenaria {

void RegisterFileFormats(TFileFormatRegistry& registry)
{
    registry.AddReader(std::make_unique<TBMPFileFormatReader>());
    registry.AddReader(std::make_unique<TDIBFileFormatReader>());
    registry.AddReader(std::make_unique<TRLEFileFormatReader>());
    registry.AddReader(std::make_unique<TJPGFileFormatReader>());
    registry.AddReader(std::make_unique<TJPEGFileFormatReader>());
    registry.AddReader(std::make_unique<TJIFFileFormatReader>());
    registry.AddReader(std::make_unique<TPNGFileFormatReader>());
    registry.AddReader(std::make_unique<TPCXFileFormatReader>());
    registry.AddReader(std::make_unique<TPBMFileFormatReader>());
    registry.AddReader(std::make_unique<TPGMFileFormatReader>());
    registry.AddReader(std::make_unique<TPPMFileFormatReader>());
    registry.AddReader(std::make_unique<TTGAFileFormatReader>());
    registry.AddReader(std::make_unique<TTIFFileFormatReader>());
    registry.AddReader(std::make_unique<TTIFFFileFormatReader>());
    // The formats whose libraries the build found (imaging/CMakeLists.txt).
#if SCENARIA_HAVE_WEBP
    registry.AddReader(std::make_unique<TWEBPFileFormatReader>());
#endif
#if SCENARIA_HAVE_HEIF
    registry.AddReader(std::make_unique<THEICFileFormatReader>());
    registry.AddReader(std::make_unique<THEIFFileFormatReader>());
    registry.AddReader(std::make_unique<TAVIFFileFormatReader>());
#endif
#if SCENARIA_HAVE_JXL
    registry.AddReader(std::make_unique<TJXLFileFormatReader>());
#endif

    registry.AddWriter(std::make_unique<TBMPFileFormatWriter>());
    registry.AddWriter(std::make_unique<TDIBFileFormatWriter>());
    registry.AddWriter(std::make_unique<TJPGFileFormatWriter>());
    registry.AddWriter(std::make_unique<TJPEGFileFormatWriter>());
    registry.AddWriter(std::make_unique<TJIFFileFormatWriter>());
    registry.AddWriter(std::make_unique<TPNGFileFormatWriter>());
    registry.AddWriter(std::make_unique<TPBMFileFormatWriter>());
    registry.AddWriter(std::make_unique<TPGMFileFormatWriter>());
    registry.AddWriter(std::make_unique<TPPMFileFormatWriter>());
    registry.AddWriter(std::make_unique<TTGAFileFormatWriter>());
    registry.AddWriter(std::make_unique<TTIFFileFormatWriter>());
    registry.AddWriter(std::make_unique<TTIFFFileFormatWriter>());

    registry.SetStreamWriter(std::make_unique<TBMPFileFormatWriter>());
}

} // namespace scenaria
