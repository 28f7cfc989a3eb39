#pragma once
// The byte streams the GIF codec reads and writes. The parser learns that data has ended from
// short reads, steps back over bytes it has peeked at, and reports progress from the position,
// so a stream needs no more than reading, writing and an absolute position.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace scenaria {

class TGIFStream {
public:
    virtual ~TGIFStream() = default;

    // Delivers at most count bytes; fewer only where the stream ends.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual void Write(const void* buffer, std::size_t count) = 0;
    virtual std::int64_t Position() const = 0;
    // Any position from 0 up; past the end, reads deliver nothing.
    virtual void SetPosition(std::int64_t position) = 0;
    virtual std::int64_t Size() const = 0;

    bool ReadByte(std::uint8_t& value) { return Read(&value, 1) == 1; }
    void WriteByte(std::uint8_t value) { Write(&value, 1); }
    void Seek(std::int64_t offset) { SetPosition(Position() + offset); }
    std::int64_t Remaining() const
    {
        const std::int64_t left = Size() - Position();
        return left > 0 ? left : 0;
    }
};

// Reads bytes that someone else owns and keeps alive for the stream's lifetime (a file mapped
// or read into memory, a fuzzer's input). Writing is refused.
class TGIFMemoryReader : public TGIFStream {
public:
    TGIFMemoryReader(const void* data, std::size_t size)
        : data_(static_cast<const std::uint8_t*>(data)), size_(size)
    {
    }

    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::int64_t Position() const override { return position_; }
    void SetPosition(std::int64_t position) override { position_ = position < 0 ? 0 : position; }
    std::int64_t Size() const override { return static_cast<std::int64_t>(size_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::int64_t position_ = 0;
};

// A growable byte buffer that can be written and then read back.
class TGIFMemoryStream : public TGIFStream {
public:
    TGIFMemoryStream() = default;
    explicit TGIFMemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::int64_t Position() const override { return position_; }
    void SetPosition(std::int64_t position) override { position_ = position < 0 ? 0 : position; }
    std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::int64_t position_ = 0;
};

// Reads a whole file into memory, so that parsing never waits on the disk between bytes.
std::vector<std::uint8_t> ReadGIFFile(const std::string& fileName);
// Writes bytes to a file, replacing it; a failed write removes the partial file.
void WriteGIFFile(const std::string& fileName, const std::vector<std::uint8_t>& bytes);

} // namespace scenaria
