#include "imaging/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace scenaria {

namespace {

// The system's reason for the last failed open, in the framework's wording.
std::string OpenFailure(const char* what, const std::string& fileName, int error)
{
    std::string text = std::string(what) + " \"" + fileName + "\".";
    if (error != 0)
        text += " " + std::generic_category().message(error);
    return text;
}

} // namespace

TPGStream::~TPGStream() = default;

std::uint64_t TPGStream::Remaining() const
{
    const std::uint64_t size = Size();
    const std::uint64_t position = Position();
    return size > position ? size - position : 0;
}

void TPGStream::ReadBuffer(void* buffer, std::size_t count)
{
    if (count > 0 && Read(buffer, count) != count)
        throw EReadError("Stream read error");
}

std::filesystem::path PathFromUtf8(const std::string& fileName)
{
    return std::filesystem::path(std::u8string(fileName.begin(), fileName.end()));
}

TPGFileStream::TPGFileStream(const std::string& fileName, TMode mode) : fileName_(fileName)
{
    const std::filesystem::path path = PathFromUtf8(fileName);
    errno = 0;
    if (mode == fmOpenRead) {
        std::error_code ec;
        // A folder opens fine on some systems and then fails every read; say so at once.
        if (std::filesystem::is_directory(path, ec))
            throw EFOpenError(OpenFailure("Cannot open file", fileName, EISDIR));
        if (!file_.open(path, std::ios::in | std::ios::binary))
            throw EFOpenError(OpenFailure("Cannot open file", fileName, errno));
        const auto end = file_.pubseekoff(0, std::ios::end, std::ios::in);
        if (end == std::streampos(-1) || file_.pubseekoff(0, std::ios::beg, std::ios::in) != 0) {
            file_.close();
            throw EFOpenError(OpenFailure("Cannot open file", fileName, ESPIPE));
        }
        size_ = static_cast<std::uint64_t>(static_cast<std::streamoff>(end));
        return;
    }
    if (mode == fmCreateExclusive) {
        std::error_code ec;
        if (std::filesystem::symlink_status(path, ec).type() !=
            std::filesystem::file_type::not_found)
            throw EFCreateError(OpenFailure("Cannot create file", fileName, EEXIST));
    }
    if (!file_.open(path, std::ios::out | std::ios::trunc | std::ios::binary))
        throw EFCreateError(OpenFailure("Cannot create file", fileName, errno));
    writable_ = true;
}

TPGFileStream::~TPGFileStream()
{
    file_.close();
}

std::size_t TPGFileStream::Read(void* buffer, std::size_t count)
{
    if (writable_ || !file_.is_open() || count == 0)
        return 0;
    std::size_t done = 0;
    char* out = static_cast<char*>(buffer);
    // sgetn takes a streamsize; very large requests go in pieces.
    while (done < count) {
        const std::size_t piece = std::min<std::size_t>(count - done, std::size_t{1} << 30);
        const std::streamsize got = file_.sgetn(out + done, static_cast<std::streamsize>(piece));
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
        if (static_cast<std::size_t>(got) < piece)
            break;
    }
    position_ += done;
    return done;
}

void TPGFileStream::Write(const void* buffer, std::size_t count)
{
    if (count == 0)
        return;
    if (!writable_ || !file_.is_open())
        throw EWriteError("Stream write error");
    std::size_t done = 0;
    const char* in = static_cast<const char*>(buffer);
    while (done < count) {
        const std::size_t piece = std::min<std::size_t>(count - done, std::size_t{1} << 30);
        const std::streamsize put = file_.sputn(in + done, static_cast<std::streamsize>(piece));
        if (put != static_cast<std::streamsize>(piece))
            throw EWriteError("Stream write error");
        done += piece;
    }
    position_ += count;
    size_ = std::max(size_, position_);
}

void TPGFileStream::Seek(std::uint64_t position)
{
    if (!file_.is_open())
        throw EReadError("Stream read error");
    if (position == position_)
        return;
    if ((!writable_ && position > size_) ||
        position > static_cast<std::uint64_t>(std::numeric_limits<std::streamoff>::max()))
        throw EReadError("Stream read error");
    const auto which = writable_ ? std::ios::out : std::ios::in;
    if (file_.pubseekpos(static_cast<std::streamoff>(position), which) == std::streampos(-1))
        throw(writable_ ? static_cast<EStreamError>(EWriteError("Stream write error"))
                        : static_cast<EStreamError>(EReadError("Stream read error")));
    position_ = position;
}

std::uint64_t TPGFileStream::Size() const
{
    return size_;
}

void TPGFileStream::Close()
{
    if (!file_.is_open())
        return;
    const bool flushed = !writable_ || file_.pubsync() == 0;
    const bool closed = file_.close() != nullptr;
    if (writable_ && (!flushed || !closed))
        throw EWriteError("Stream write error");
}

std::size_t TPGMemoryStream::Read(void* buffer, std::size_t count)
{
    if (position_ >= data_.size() || count == 0)
        return 0;
    const std::size_t n = std::min<std::size_t>(count, data_.size() - position_);
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return n;
}

void TPGMemoryStream::Write(const void* buffer, std::size_t count)
{
    if (count == 0)
        return;
    const std::uint64_t end = position_ + count;
    if (end > data_.max_size() || end < position_)
        throw EWriteError("Stream write error");
    if (end > data_.size())
        data_.resize(end);
    std::memcpy(data_.data() + position_, buffer, count);
    position_ = end;
}

void TPGMemoryStream::Seek(std::uint64_t position)
{
    position_ = position;
}

std::size_t TPGBufferStream::Read(void* buffer, std::size_t count)
{
    if (position_ >= size_ || count == 0)
        return 0;
    const std::size_t n = std::min<std::size_t>(count, size_ - position_);
    std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    return n;
}

void TPGBufferStream::Write(const void*, std::size_t)
{
    throw EWriteError("Stream write error");
}

void TPGBufferStream::Seek(std::uint64_t position)
{
    if (position > size_)
        throw EReadError("Stream read error");
    position_ = position;
}

TPGSubStream::TPGSubStream(TPGStream& base, std::uint64_t length)
    : base_(base), start_(base.Position()), length_(std::min(length, base.Remaining()))
{
}

std::size_t TPGSubStream::Read(void* buffer, std::size_t count)
{
    if (position_ >= length_)
        return 0;
    if (base_.Position() != start_ + position_)
        base_.Seek(start_ + position_);
    const std::size_t n = base_.Read(buffer, std::min<std::uint64_t>(count, length_ - position_));
    position_ += n;
    return n;
}

void TPGSubStream::Write(const void*, std::size_t)
{
    throw EWriteError("Stream write error");
}

void TPGSubStream::Seek(std::uint64_t position)
{
    if (position > length_)
        throw EReadError("Stream read error");
    position_ = position;
}

} // namespace scenaria
