#pragma once
// The byte streams that format readers and writers work on: files, memory, and a window onto
// part of another stream (form streaming keeps a picture inside a larger stream).
//
// Readers use Read and check the count they get: a short read means the data has ended.
// Remaining() tells how many bytes a stream still holds, so that a reader can check a declared
// length before it allocates anything for it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace scenaria {

// Failures of the streams themselves (a file that cannot be opened, a disk that is full). They
// are not image errors and so do not derive from EPixelGraphic.
class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class TPGStream {
public:
    virtual ~TPGStream();

    // Reads up to count bytes and returns how many arrived; fewer only at the end of the data.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Writes all count bytes or raises EWriteError.
    virtual void Write(const void* buffer, std::size_t count) = 0;
    virtual std::uint64_t Position() const = 0;
    // Moves to an absolute position; past the end only on streams that can be written.
    virtual void Seek(std::uint64_t position) = 0;
    virtual std::uint64_t Size() const = 0;

    // Bytes between the position and the end.
    std::uint64_t Remaining() const;
    // Reads exactly count bytes or raises EReadError "Stream read error".
    void ReadBuffer(void* buffer, std::size_t count);
};

// A file on disk, opened for reading or created for writing.
class TPGFileStream : public TPGStream {
public:
    enum TMode : int {
        fmOpenRead,        // an existing file, read only
        fmCreate,          // created, or emptied when it exists
        fmCreateExclusive, // created; fails when the name is taken already
    };
    // The name is UTF-8. Raises EFOpenError or EFCreateError with the system's reason.
    TPGFileStream(const std::string& fileName, TMode mode);
    ~TPGFileStream() override;
    TPGFileStream(const TPGFileStream&) = delete;
    TPGFileStream& operator=(const TPGFileStream&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::uint64_t Position() const override { return position_; }
    void Seek(std::uint64_t position) override;
    std::uint64_t Size() const override;

    // Flushes and closes the file; raises EWriteError when data written could not be stored
    // (a full disk may only show here). Closing again does nothing.
    void Close();
    const std::string& FileName() const { return fileName_; }

private:
    std::filebuf file_;
    std::string fileName_;
    bool writable_ = false;
    std::uint64_t position_ = 0;
    std::uint64_t size_ = 0; // kept up to date by writes, so Size needs no seek
};

// Bytes in memory that the stream owns; grows as it is written.
class TPGMemoryStream : public TPGStream {
public:
    TPGMemoryStream() = default;
    explicit TPGMemoryStream(std::vector<std::uint8_t> data) : data_(std::move(data)) {}

    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::uint64_t Position() const override { return position_; }
    void Seek(std::uint64_t position) override;
    std::uint64_t Size() const override { return data_.size(); }

    const std::vector<std::uint8_t>& Data() const { return data_; }

private:
    std::vector<std::uint8_t> data_;
    std::uint64_t position_ = 0;
};

// Bytes in memory that belong to someone else, read only.
class TPGBufferStream : public TPGStream {
public:
    TPGBufferStream(const void* data, std::size_t size)
        : data_(static_cast<const std::uint8_t*>(data)), size_(size)
    {
    }

    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::uint64_t Position() const override { return position_; }
    void Seek(std::uint64_t position) override;
    std::uint64_t Size() const override { return size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::uint64_t position_ = 0;
};

// At most length bytes of another stream from its position at creation on, read only (fewer
// when the other stream ends first). The other stream's position follows the reads.
class TPGSubStream : public TPGStream {
public:
    TPGSubStream(TPGStream& base, std::uint64_t length);

    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::uint64_t Position() const override { return position_; }
    void Seek(std::uint64_t position) override;
    std::uint64_t Size() const override { return length_; }

private:
    TPGStream& base_;
    std::uint64_t start_;
    std::uint64_t length_;
    std::uint64_t position_ = 0;
};

// The path of a UTF-8 file name.
std::filesystem::path PathFromUtf8(const std::string& fileName);

} // namespace scenaria
