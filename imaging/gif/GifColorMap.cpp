#include "imaging/gif/GifColorMap.h"

#include "imaging/gif/GifException.h"
#include "imaging/gif/GifImage.h"
#include "imaging/gif/GifItem.h"

#include <algorithm>
#include <cstring>

namespace scenaria {

void TGIFColorMap::Clear()
{
    entries_.reset();
    count_ = 0;
    capacity_ = 0;
    sorted_ = false;
}

void TGIFColorMap::Reserve(int n)
{
    if (n < capacity_)
        return;
    int capacity = n <= 16 ? 16 : (n + 31) / 32 * 32;
    capacity = std::min(capacity, MaxColors);
    if (capacity == capacity_)
        return;
    auto entries = std::make_unique<TGIFColor[]>(std::size_t(capacity));
    std::copy(entries_.get(), entries_.get() + count_, entries.get());
    entries_ = std::move(entries);
    capacity_ = capacity;
}

void TGIFColorMap::LoadFromStream(TPGStream& stream, int count)
{
    if (count < 0 || count > MaxColors)
        throw GIFException("Color table overflow");
    std::uint8_t bytes[3 * MaxColors];
    ReadGIFBytes(stream, bytes, std::size_t(3 * count));
    count_ = 0;
    Reserve(count);
    for (int i = 0; i < count; ++i)
        entries_[i] = TGIFColor{bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
    count_ = count;
}

void TGIFColorMap::SaveToStream(TPGStream& stream, int minBits) const
{
    const int bits = std::max(BitsPerPixel(), std::min(minBits, 8));
    const int total = bits == 0 ? 0 : 1 << bits;
    std::uint8_t bytes[3 * MaxColors] = {};
    for (int i = 0; i < count_; ++i) {
        bytes[3 * i] = entries_[i].Red;
        bytes[3 * i + 1] = entries_[i].Green;
        bytes[3 * i + 2] = entries_[i].Blue;
    }
    stream.Write(bytes, std::size_t(3 * total));
}

int TGIFColorMap::BitsPerPixel() const
{
    if (count_ == 0)
        return 0;
    for (int bits = 1; bits <= 8; ++bits)
        if ((1 << bits) >= count_)
            return bits;
    return 8;
}

int TGIFColorMap::IndexOf(TGIFColor color) const
{
    if (sorted_) {
        for (int i = 0; i < count_; ++i)
            if (entries_[i] == color)
                return i;
    } else {
        for (int i = count_ - 1; i >= 0; --i)
            if (entries_[i] == color)
                return i;
    }
    return -1;
}

int TGIFColorMap::Add(TGIFColor color)
{
    const int existing = IndexOf(color);
    if (existing >= 0)
        return existing;
    if (count_ >= MaxColors)
        throw GIFException("Color table overflow");
    Reserve(count_ + 1);
    entries_[count_] = color;
    ++count_;
    sorted_ = false;
    Changed();
    return count_ - 1;
}

TGIFColor TGIFColorMap::Colors(int index) const
{
    if (index < 0 || index >= count_) {
        Warning("Invalid color index");
        return TGIFColor{};
    }
    return entries_[index];
}

void TGIFColorMap::Assign(const TGIFColorMap& source)
{
    if (&source == this)
        return;
    Clear();
    Reserve(source.count_);
    std::copy(source.entries_.get(), source.entries_.get() + source.count_, entries_.get());
    count_ = source.count_;
    sorted_ = source.sorted_;
    Changed();
}

void TGIFGlobalColorMap::Changed()
{
    if (header_ && header_->Image()) {
        header_->Image()->SetPalette(nullptr);
        header_->Image()->Changed();
    }
}

void TGIFGlobalColorMap::Warning(const std::string& message) const
{
    if (header_)
        header_->Warning(message);
}

void TGIFLocalColorMap::Changed()
{
    if (subImage_)
        subImage_->SetPalette(nullptr);
    if (subImage_ && subImage_->Image())
        subImage_->Image()->Changed();
}

void TGIFLocalColorMap::Warning(const std::string& message) const
{
    if (subImage_)
        subImage_->Warning(message);
}

} // namespace scenaria
