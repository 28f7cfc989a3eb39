#include "imaging/gif/GifItem.h"

#include "imaging/gif/GifException.h"
#include "imaging/gif/GifImage.h"

#include <algorithm>

namespace scenaria {

void TGIFItem::Warning(const std::string& message) const
{
    if (image_)
        image_->Warning(this, 1, message);
}

void ReadGIFBytes(TPGStream& stream, void* buffer, std::size_t count)
{
    if (stream.Read(buffer, count) != count)
        throw GIFException("Premature end of data");
}

std::uint8_t ReadGIFByte(TPGStream& stream)
{
    std::uint8_t value = 0;
    ReadGIFBytes(stream, &value, 1);
    return value;
}

std::uint16_t ReadGIFWord(TPGStream& stream)
{
    std::uint8_t bytes[2];
    ReadGIFBytes(stream, bytes, 2);
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

void MoveGIFStream(TPGStream& stream, std::int64_t offset)
{
    const std::uint64_t position = stream.Position();
    if (offset < 0)
        stream.Seek(std::uint64_t(-offset) > position ? 0 : position - std::uint64_t(-offset));
    else
        stream.Seek(std::min(position + std::uint64_t(offset), std::max(stream.Size(), position)));
}

void WriteGIFWord(TPGStream& stream, std::uint16_t value)
{
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(value),
                                   static_cast<std::uint8_t>(value >> 8)};
    stream.Write(bytes, 2);
}

} // namespace scenaria
