#include "imaging/gif/GifLzw.h"

#include "imaging/gif/GifException.h"
#include "imaging/gif/GifItem.h"

#include <algorithm>
#include <cstring>

namespace scenaria {

namespace {

constexpr int TableSize = 4096;
// Any chain through a table without cycles fits: at most every entry from the clear code on,
// plus the first character of the string-plus-first-character case and the final byte.
constexpr int StackSize = 4097;

// One decoding run. All working storage lives here, so a frame decodes without allocating.
class TLZWDecoder {
public:
    TLZWDecoder(TPGStream& stream, const TGIFItem& sender, int initialCodeSize)
        : stream_(stream), sender_(sender), initialCodeSize_(initialCodeSize),
          clearCode_(1 << initialCodeSize), endCode_(clearCode_ + 1),
          codeWidth_(initialCodeSize + 1), nextCode_(clearCode_ + 2), codeLimit_(2 * clearCode_)
    {
        std::memset(buffer_, 0, sizeof buffer_);
    }

    // Fills count pixels; false when the data ended first. Each pixel is the low byte of its
    // value. A string that does not fit stays on the stack for the next call.
    bool Fill(std::uint8_t* out, int count)
    {
        std::uint8_t* const end = out + count;
        while (stackTop_ > 0 && out < end)
            *out++ = static_cast<std::uint8_t>(stack_[--stackTop_]);
        if (out == end)
            return true;
        // Once data has ended nothing more is read: after the end-of-information code the
        // stream already stands behind the frame's data.
        if (ended_ != 0)
            return false;

        // The decoding state lives in locals while pixels are written, since stores through a
        // byte pointer could otherwise change any member as far as the compiler knows.
        int bitPosition = bitPosition_, validBits = validBits_, codeWidth = codeWidth_;
        int nextCode = nextCode_, codeLimit = codeLimit_;
        int previous = previousCode_, first = firstChar_;
        bool clearFirst = clearFirst_;
        const int clear = clearCode_;
        std::uint16_t* const prefix = prefix_;
        std::uint16_t* const suffix = suffix_;
        std::uint16_t* const stack = stack_;
        const auto store = [&] {
            bitPosition_ = bitPosition;
            validBits_ = validBits;
            codeWidth_ = codeWidth;
            nextCode_ = nextCode;
            codeLimit_ = codeLimit;
            previousCode_ = previous;
            firstChar_ = first;
            clearFirst_ = clearFirst;
        };
        // -1 when no more bits can be had.
        const auto readCode = [&]() -> int {
            // The first code of every frame is taken to be a clear code, so the tables are
            // always set up, whether or not the data starts with one.
            if (clearFirst) {
                clearFirst = false;
                return clear;
            }
            if (bitPosition + codeWidth >= validBits) {
                store();
                const bool more = ReadMore();
                bitPosition = bitPosition_;
                validBits = validBits_;
                if (!more)
                    return -1;
            }
            // Least significant bit first; three bytes cover a 12-bit code at any offset, and
            // the buffer is long enough to read them past the data.
            const int at = bitPosition >> 3;
            const std::uint32_t bits = std::uint32_t(buffer_[at]) |
                                       std::uint32_t(buffer_[at + 1]) << 8 |
                                       std::uint32_t(buffer_[at + 2]) << 16;
            const int code = int((bits >> (bitPosition & 7)) & ((1u << codeWidth) - 1));
            bitPosition += codeWidth;
            return code;
        };

        int ended = 0;
        while (out < end) {
            int code = readCode();
            if (code < 0) {
                ended = code;
                break;
            }
            if (code == clear) {
                ResetTable();
                codeWidth = initialCodeSize_ + 1;
                codeLimit = 2 * clear;
                nextCode = clear + 2;
                do {
                    code = readCode();
                } while (code == clear);
                if (code < 0) {
                    ended = code;
                    break;
                }
                // Taken as it is, without any check: even an end code here is a pixel.
                first = previous = code;
                *out++ = static_cast<std::uint8_t>(code);
                continue;
            }
            if (code == endCode_) {
                store();
                if (!zeroBlockSeen_)
                    SkipSubBlocks();
                ended = -2;
                break;
            }
            const int incoming = code;
            int top = 0;
            // The string not yet in the table (or a corrupt code): the previous string and its
            // first character.
            if (code >= nextCode) {
                stack[top++] = static_cast<std::uint16_t>(first);
                code = previous;
            }
            while (code >= clear) {
                // Any chain of a table without cycles fits the stack.
                if (prefix[code] == code || top >= StackSize - 1) {
                    store();
                    stackTop_ = top + 1;
                    throw GIFException("Circular decoder table entry");
                }
                stack[top++] = suffix[code];
                code = prefix[code];
            }
            first = code;
            // The string is code followed by the stack from its top down.
            if (end - out > top) {
                *out++ = static_cast<std::uint8_t>(code);
                while (top > 0)
                    *out++ = static_cast<std::uint8_t>(stack[--top]);
            } else {
                stack[top++] = static_cast<std::uint16_t>(code);
                while (out < end)
                    *out++ = static_cast<std::uint8_t>(stack[--top]);
                stackTop_ = top;
            }
            if (nextCode < TableSize) {
                prefix[nextCode] = static_cast<std::uint16_t>(previous);
                suffix[nextCode] = static_cast<std::uint16_t>(first);
                ++nextCode;
                if (nextCode >= codeLimit && codeLimit < TableSize) {
                    codeLimit *= 2;
                    ++codeWidth;
                }
            }
            previous = incoming;
        }
        store();
        if (ended != 0) {
            ended_ = ended;
            return false;
        }
        return true;
    }

    // One pixel more, as the decoder asks for after the frame's last pixel: in well-formed data
    // this meets the end-of-information code and skips what is left of the frame's data.
    void NextPixel()
    {
        std::uint8_t ignored = 0;
        Fill(&ignored, 1);
    }

private:
    // With too few bits left for the next code: false when no more can be had.
    bool ReadMore()
    {
        if (dataEnded_) {
            if (bitPosition_ == validBits_)
                sender_.Warning("Decoder bit buffer under-run");
            return false;
        }
        // A sub-block shorter than a code needs one more; anything else reads once.
        do {
            if (!Refill())
                return false;
        } while (bitPosition_ + codeWidth_ > validBits_ && !dataEnded_);
        return true;
    }

    // False when the stream has ended before the sub-block's size byte.
    bool Refill()
    {
        // The unread bits of this sub-block (fewer than a code, so at most 16) move into the
        // two carry bytes, so that a code may straddle two sub-blocks.
        buffer_[0] = buffer_[byteCount_ - 2];
        buffer_[1] = buffer_[byteCount_ - 1];
        std::uint8_t size = 0;
        if (!TryReadGIFByte(stream_, size))
            return false;
        int length = size;
        if (length != 0) {
            if (std::uint64_t(length) > stream_.Remaining()) {
                sender_.Warning("Premature end of data");
                length = static_cast<int>(stream_.Remaining());
            }
            stream_.Read(buffer_ + 2, static_cast<std::size_t>(length));
        } else {
            zeroBlockSeen_ = true;
            dataEnded_ = true;
        }
        bitPosition_ = bitPosition_ - validBits_ + 16;
        byteCount_ = length + 2;
        validBits_ = 8 * byteCount_;
        return true;
    }

    void ResetTable()
    {
        for (int k = 0; k < clearCode_; ++k) {
            prefix_[k] = 0;
            suffix_[k] = static_cast<std::uint16_t>(k);
        }
        std::fill(prefix_ + clearCode_, prefix_ + TableSize, std::uint16_t(0));
        std::fill(suffix_ + clearCode_, suffix_ + TableSize, std::uint16_t(0));
    }

    void SkipSubBlocks()
    {
        std::uint8_t size = 0;
        while (TryReadGIFByte(stream_, size) && size != 0)
            MoveGIFStream(stream_, size);
    }

    TPGStream& stream_;
    const TGIFItem& sender_;
    const int initialCodeSize_;
    const int clearCode_;
    const int endCode_;
    int codeWidth_;
    int nextCode_;
    int codeLimit_;
    int firstChar_ = 0;
    int previousCode_ = 0;
    int ended_ = 0;
    bool clearFirst_ = true;
    bool dataEnded_ = false;
    bool zeroBlockSeen_ = false;
    // Two carry bytes, one sub-block, and room to read three bytes from any bit position.
    std::uint8_t buffer_[2 + 255 + 3];
    int byteCount_ = 2;
    int bitPosition_ = 0;
    int validBits_ = 0;
    std::uint16_t prefix_[TableSize];
    std::uint16_t suffix_[TableSize];
    std::uint16_t stack_[StackSize];
    int stackTop_ = 0;
};

// Packs codes least significant bit first into sub-blocks of at most 254 bytes.
class TCodeWriter {
public:
    explicit TCodeWriter(TPGStream& stream) : stream_(stream) {}

    void Put(int code, int width)
    {
        bits_ |= std::uint32_t(code) << bitCount_;
        bitCount_ += width;
        while (bitCount_ >= 8) {
            PutByte(static_cast<std::uint8_t>(bits_));
            bits_ >>= 8;
            bitCount_ -= 8;
        }
    }

    // Writes the last partial byte, the last sub-block and the terminator.
    void Finish()
    {
        if (bitCount_ > 0)
            PutByte(static_cast<std::uint8_t>(bits_));
        bits_ = 0;
        bitCount_ = 0;
        FlushBlock();
        WriteGIFByte(stream_, 0);
    }

private:
    static constexpr int BlockSize = 254;

    void PutByte(std::uint8_t value)
    {
        block_[blockLength_ + 1] = value;
        if (++blockLength_ == BlockSize)
            FlushBlock();
    }

    void FlushBlock()
    {
        if (blockLength_ == 0)
            return;
        block_[0] = static_cast<std::uint8_t>(blockLength_);
        stream_.Write(block_, std::size_t(blockLength_) + 1);
        blockLength_ = 0;
    }

    TPGStream& stream_;
    std::uint32_t bits_ = 0;
    int bitCount_ = 0;
    std::uint8_t block_[BlockSize + 1];
    int blockLength_ = 0;
};

// The encoder mirrors the decoder's table growth, so every code goes out at exactly the width
// at which any decoder will read it.
class TLZWEncoder {
public:
    TLZWEncoder(TPGStream& stream, int initialCodeSize)
        : writer_(stream), initialCodeSize_(initialCodeSize), clearCode_(1 << initialCodeSize),
          endCode_(clearCode_ + 1)
    {
    }

    void Start() { StartOver(); }

    void Put(std::uint8_t pixel)
    {
        if (prefix_ < 0) {
            prefix_ = pixel;
            return;
        }
        const std::uint32_t key = std::uint32_t(prefix_) << 8 | pixel;
        const int code = table_.Lookup(key);
        if (code >= 0) {
            prefix_ = code;
            return;
        }
        Emit(prefix_);
        // A table that reaches 4095 entries, or whose hash slots for this key are all taken,
        // starts over; both are valid GIF data.
        if (nextCode_ < TableSize - 1 && table_.Insert(key, nextCode_))
            ++nextCode_;
        else
            StartOver();
        prefix_ = pixel;
    }

    void Finish()
    {
        if (prefix_ >= 0)
            Emit(prefix_);
        Emit(endCode_);
        writer_.Finish();
    }

private:
    void StartOver()
    {
        Emit(clearCode_);
        table_.Clear();
        nextCode_ = clearCode_ + 2;
    }

    void Emit(int code)
    {
        writer_.Put(code, codeWidth_);
        // What the decoder does on reading this code.
        if (code == clearCode_) {
            codeWidth_ = initialCodeSize_ + 1;
            decoderLimit_ = 2 * clearCode_;
            decoderNext_ = clearCode_ + 2;
            firstAfterClear_ = true;
        } else if (firstAfterClear_) {
            firstAfterClear_ = false;
        } else if (decoderNext_ < TableSize) {
            ++decoderNext_;
            if (decoderNext_ >= decoderLimit_ && decoderLimit_ < TableSize) {
                decoderLimit_ *= 2;
                ++codeWidth_;
            }
        }
    }

    TCodeWriter writer_;
    THashTable table_;
    const int initialCodeSize_;
    const int clearCode_;
    const int endCode_;
    int codeWidth_ = initialCodeSize_ + 1;
    int nextCode_ = 0;
    int decoderNext_ = 0;
    int decoderLimit_ = 0;
    bool firstAfterClear_ = true;
    int prefix_ = -1;
};

} // namespace

void TGIFInterlacedRows::Next()
{
    row_ += step_;
    while (row_ >= height_) {
        if (pass_ >= 1)
            step_ /= 2;
        ++pass_;
        row_ = step_ / 2;
    }
}

void THashTable::Clear()
{
    std::fill(slots_, slots_ + Slots, Empty);
}

bool THashTable::Insert(std::uint32_t key, int code)
{
    int slot = FirstSlot(key);
    for (int probe = 0; probe < Slots; ++probe) {
        if (slots_[slot] == Empty) {
            slots_[slot] = key << 12 | std::uint32_t(code);
            return true;
        }
        slot = NextSlot(slot);
    }
    return false;
}

void DecodeGIFPixels(TPGStream& stream, std::uint8_t* pixels, int width, int height,
                     bool interlaced, const TGIFItem& sender)
{
    std::uint8_t initialCodeSize = 0;
    if (!TryReadGIFByte(stream, initialCodeSize))
        return;
    // Larger sizes put the clear code beyond the 4096-entry tables.
    if (initialCodeSize > 11)
        throw GIFException("Invalid GIF data");
    // 4096-entry tables and the stack: too large for the thread's stack on some systems.
    auto decoder = std::make_unique<TLZWDecoder>(stream, sender, initialCodeSize);
    try {
        if (width > 0 && height > 0) {
            if (!interlaced) {
                decoder->Fill(pixels, width * height);
            } else {
                TGIFInterlacedRows rows(height);
                for (int i = 0; i < height; ++i) {
                    if (!decoder->Fill(pixels + std::size_t(rows.Row()) * width, width))
                        break;
                    rows.Next();
                }
            }
        }
    } catch (const GIFException&) {
        try {
            decoder->NextPixel();
        } catch (const GIFException&) {
            // The first error is the one to report.
        }
        throw;
    }
    decoder->NextPixel();
}

void EncodeGIFPixels(TPGStream& stream, const std::uint8_t* pixels, int width, int height,
                     bool interlaced, int initialCodeSize)
{
    WriteGIFByte(stream, static_cast<std::uint8_t>(initialCodeSize));
    auto encoder = std::make_unique<TLZWEncoder>(stream, initialCodeSize);
    encoder->Start();
    if (!interlaced) {
        const std::uint8_t* end = pixels + std::size_t(width) * height;
        for (const std::uint8_t* p = pixels; p < end; ++p)
            encoder->Put(*p);
    } else {
        TGIFInterlacedRows rows(height);
        for (int i = 0; i < height; ++i) {
            const std::uint8_t* row = pixels + std::size_t(rows.Row()) * width;
            for (int x = 0; x < width; ++x)
                encoder->Put(row[x]);
            rows.Next();
        }
    }
    encoder->Finish();
}

} // namespace scenaria
