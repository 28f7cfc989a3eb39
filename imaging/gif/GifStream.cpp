#include "imaging/gif/GifStream.h"

#include "imaging/gif/GifException.h"

#include <cerrno>
#include <cstring>
#include <memory>

namespace scenaria {

namespace {

struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

std::string SystemText()
{
    return errno != 0 ? std::string(". ") + std::strerror(errno) : std::string();
}

} // namespace

std::size_t TGIFMemoryReader::Read(void* buffer, std::size_t count)
{
    if (position_ >= static_cast<std::int64_t>(size_))
        return 0;
    const std::size_t left = size_ - static_cast<std::size_t>(position_);
    const std::size_t n = count < left ? count : left;
    std::memcpy(buffer, data_ + position_, n);
    position_ += static_cast<std::int64_t>(n);
    return n;
}

void TGIFMemoryReader::Write(const void*, std::size_t)
{
    throw GIFException("Stream write error");
}

std::size_t TGIFMemoryStream::Read(void* buffer, std::size_t count)
{
    if (position_ >= static_cast<std::int64_t>(bytes_.size()))
        return 0;
    const std::size_t left = bytes_.size() - static_cast<std::size_t>(position_);
    const std::size_t n = count < left ? count : left;
    std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += static_cast<std::int64_t>(n);
    return n;
}

void TGIFMemoryStream::Write(const void* buffer, std::size_t count)
{
    const auto at = static_cast<std::size_t>(position_);
    if (bytes_.size() < at + count)
        bytes_.resize(at + count);
    if (count > 0)
        std::memcpy(bytes_.data() + at, buffer, count);
    position_ += static_cast<std::int64_t>(count);
}

std::vector<std::uint8_t> ReadGIFFile(const std::string& fileName)
{
    errno = 0;
    TFile file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        throw GIFException("Cannot open file \"" + fileName + "\"" + SystemText());
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (n < sizeof chunk)
            break;
    }
    if (std::ferror(file.get()))
        throw GIFException("Stream read error" + SystemText());
    return bytes;
}

void WriteGIFFile(const std::string& fileName, const std::vector<std::uint8_t>& bytes)
{
    errno = 0;
    TFile file(std::fopen(fileName.c_str(), "wb"));
    if (!file)
        throw GIFException("Cannot create file \"" + fileName + "\"" + SystemText());
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        const std::string reason = SystemText();
        std::remove(fileName.c_str());
        throw GIFException("Stream write error" + reason);
    }
}

} // namespace scenaria
