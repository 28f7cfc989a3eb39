#pragma once
// Helpers shared by the PNG and TIFF tests: loading bytes, catching messages, answering the
// library's questions, and streams that fail on purpose.

#include "imaging/FileFormats.h"
#include "imaging/MessageBox.h"
#include "imaging/PixelGraphic.h"
#include "imaging/Stream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace scenaria::testing {

inline void LoadBytes(TPixelGraphic& image, const std::string& bytes)
{
    TPGBufferStream stream(bytes.data(), bytes.size());
    image.LoadFromStream(stream);
}

// The message a load fails with, or "(loaded)".
inline std::string LoadError(const std::string& bytes, TPGWarningAction warnings = pgwaRaise)
{
    TPixelGraphic image;
    image.ReadWarningAction = warnings;
    try {
        LoadBytes(image, bytes);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(loaded)";
}

inline std::string Saved(TPixelGraphic& image, const std::string& extension)
{
    TPGMemoryStream stream;
    image.SaveToStreamAs(stream, extension);
    return std::string(stream.Data().begin(), stream.Data().end());
}

// Installs a message-box hook for one test and puts the previous one back afterwards.
class THookScope {
public:
    explicit THookScope(TPGMessageBoxHook hook) : previous_(SetPGMessageBoxHook(std::move(hook))) {}
    ~THookScope() { SetPGMessageBoxHook(std::move(previous_)); }
    THookScope(const THookScope&) = delete;
    THookScope& operator=(const THookScope&) = delete;

private:
    TPGMessageBoxHook previous_;
};

// What the hook was asked.
struct TQuestion {
    std::string Caption;
    std::string Text;
    TPGMessageButtons Buttons = pgmbOK;
    TPGMessageIcon Icon = pgmiError;
};

// A stream that holds bytes but fails with a stream error once a given number of bytes has
// passed (reading or writing), the way a bad disk or a full one does.
class TFailingStream : public TPGStream {
public:
    TFailingStream(std::string data, std::size_t failAfter)
        : data_(std::move(data)), failAfter_(failAfter)
    {
    }

    std::size_t Read(void* buffer, std::size_t count) override
    {
        if (position_ + count > failAfter_)
            throw EReadError("Stream read error");
        const std::size_t n = std::min<std::size_t>(
            count, data_.size() - std::min<std::size_t>(position_, data_.size()));
        std::copy_n(data_.data() + position_, n, static_cast<char*>(buffer));
        position_ += n;
        return n;
    }
    void Write(const void* buffer, std::size_t count) override
    {
        if (position_ + count > failAfter_)
            throw EWriteError("Stream write error");
        if (data_.size() < position_ + count)
            data_.resize(position_ + count);
        std::copy_n(static_cast<const char*>(buffer), count, data_.data() + position_);
        position_ += count;
    }
    std::uint64_t Position() const override { return position_; }
    void Seek(std::uint64_t position) override { position_ = position; }
    std::uint64_t Size() const override { return data_.size(); }

private:
    std::string data_;
    std::size_t failAfter_;
    std::size_t position_ = 0;
};

// Big-endian writers for hand-made files.
inline void PutBE16(std::string& s, unsigned v)
{
    s += static_cast<char>(v >> 8 & 0xFF);
    s += static_cast<char>(v & 0xFF);
}
inline void PutBE32(std::string& s, std::uint32_t v)
{
    for (int i = 3; i >= 0; --i)
        s += static_cast<char>(v >> (8 * i) & 0xFF);
}

} // namespace scenaria::testing
