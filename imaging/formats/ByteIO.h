#pragma once
// Small pieces shared by the readers and writers that take or give their data a byte at a
// time (run-length and text formats): a buffered input that raises the format's own error
// when the data ends, a buffered output, progress brackets that close however a call ends,
// the numbers of the formats' headers, and the size arithmetic that has to be checked before
// anything is allocated.

#include "imaging/PixelGraphic.h"
#include "imaging/ProgressScope.h"
#include "imaging/Stream.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>

namespace scenaria {

// Numbers in header bytes: least significant byte first ("Intel", as BMP, PCX, TGA and most
// TIFF files store them), or most significant first ("Motorola", the other TIFF order).
inline std::uint16_t Get16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline std::uint32_t Get32(const std::uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline void Put16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void Put32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::uint16_t Get16Motorola(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

inline std::uint32_t Get32Motorola(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

inline void Put16Motorola(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

inline void Put32Motorola(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[3 - i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Reads through a 1 024-byte buffer, refilled with what the stream still has. An empty refill
// calls the end handler, which raises the format's "Unexpected end of file".
class TByteInput {
public:
    using TEndHandler = void (*)();

    TByteInput(TPGStream& stream, TEndHandler onEnd) : stream_(stream), onEnd_(onEnd) {}
    TByteInput(const TByteInput&) = delete;
    TByteInput& operator=(const TByteInput&) = delete;

    std::uint8_t Get()
    {
        if (position_ == end_ && !Refill())
            End();
        return buffer_[position_++];
    }

    // False at the end of the data instead of raising.
    bool TryGet(std::uint8_t& byte)
    {
        if (position_ == end_ && !Refill())
            return false;
        byte = buffer_[position_++];
        return true;
    }

    void Read(std::uint8_t* target, std::size_t count)
    {
        while (count > 0) {
            if (position_ == end_ && !Refill())
                End();
            const std::size_t n = std::min(count, end_ - position_);
            std::memcpy(target, buffer_.data() + position_, n);
            position_ += n;
            target += n;
            count -= n;
        }
    }

    // Bytes still to come: the buffered rest and what the stream holds after it.
    std::uint64_t Available() const { return (end_ - position_) + stream_.Remaining(); }

private:
    bool Refill()
    {
        position_ = 0;
        end_ = stream_.Read(buffer_.data(), buffer_.size());
        return end_ > 0;
    }

    [[noreturn]] void End()
    {
        onEnd_();
        // The handler always raises; this only keeps the promise of [[noreturn]].
        std::terminate();
    }

    TPGStream& stream_;
    TEndHandler onEnd_;
    std::array<std::uint8_t, 1024> buffer_{};
    std::size_t position_ = 0;
    std::size_t end_ = 0;
};

// Writes through a 1 024-byte buffer, flushed when full and by Flush.
class TByteOutput {
public:
    explicit TByteOutput(TPGStream& stream) : stream_(stream) {}
    TByteOutput(const TByteOutput&) = delete;
    TByteOutput& operator=(const TByteOutput&) = delete;

    void Put(std::uint8_t byte)
    {
        if (used_ == buffer_.size())
            Flush();
        buffer_[used_++] = byte;
    }

    void Write(const void* data, std::size_t count)
    {
        const auto* p = static_cast<const std::uint8_t*>(data);
        while (count > 0) {
            if (used_ == buffer_.size())
                Flush();
            const std::size_t n = std::min(count, buffer_.size() - used_);
            std::memcpy(buffer_.data() + used_, p, n);
            used_ += n;
            p += n;
            count -= n;
        }
    }

    void Flush()
    {
        if (used_ > 0)
            stream_.Write(buffer_.data(), used_);
        used_ = 0;
    }

private:
    TPGStream& stream_;
    std::array<std::uint8_t, 1024> buffer_{};
    std::size_t used_ = 0;
};

// a × b, or the largest value when that does not fit: sizes compared with what a stream holds
// may then be too large, never wrapped round to something small.
constexpr std::uint64_t SaturatingMultiply(std::uint64_t a, std::uint64_t b)
{
    if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a)
        return std::numeric_limits<std::uint64_t>::max();
    return a * b;
}

} // namespace scenaria
