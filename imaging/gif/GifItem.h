#pragma once
// The building blocks every part of a GIF picture shares: items that belong to a picture and
// pass their warnings to it, lists that own their items, and the callbacks a picture offers.

#include "imaging/Stream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace scenaria {

class TGIFImage;
class TGIFItem;

enum TGIFProgressStage : int { gpsStarting, gpsRunning, gpsEnding };

// Warnings carry the item that gives them (never nullptr) and a severity, which is
// 1 for every warning the codec gives.
using TGIFWarningHandler =
    std::function<void(const TGIFItem* sender, int severity, const std::string& message)>;
using TGIFProgressHandler = std::function<void(const TGIFItem* sender, TGIFProgressStage stage,
                                               int percentDone, const std::string& message)>;

class TGIFItem {
public:
    explicit TGIFItem(TGIFImage* image) : image_(image) {}
    virtual ~TGIFItem() = default;
    TGIFItem(const TGIFItem&) = delete;
    TGIFItem& operator=(const TGIFItem&) = delete;

    // The picture this item belongs to; nullptr for an item made on its own.
    TGIFImage* Image() const { return image_; }

    virtual void LoadFromStream(TPGStream& stream) = 0;
    virtual void SaveToStream(TPGStream& stream) = 0;

    // Passes a warning of severity 1 to the picture's handler; without a picture or a handler
    // it has no effect.
    void Warning(const std::string& message) const;

protected:
    TGIFImage* image_;
};

// A list that owns its items and frees them when they are removed or the list goes.
template <class TItem> class TGIFList {
public:
    explicit TGIFList(TGIFImage* image) : image_(image) {}
    virtual ~TGIFList() = default;
    TGIFList(const TGIFList&) = delete;
    TGIFList& operator=(const TGIFList&) = delete;

    TGIFImage* Image() const { return image_; }
    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }
    TItem& operator[](int index) { return *items_.at(static_cast<std::size_t>(index)); }
    const TItem& operator[](int index) const { return *items_.at(static_cast<std::size_t>(index)); }

    TItem& Add(std::unique_ptr<TItem> item)
    {
        items_.push_back(std::move(item));
        return *items_.back();
    }
    void Delete(int index) { items_.erase(items_.begin() + index); }
    // Frees the items last to first, so an item never outlives one that came after it.
    void Clear()
    {
        while (!items_.empty())
            items_.pop_back();
    }

    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

protected:
    TGIFImage* image_;
    std::vector<std::unique_ptr<TItem>> items_;
};

// Reads exactly count bytes or fails with "Premature end of data".
void ReadGIFBytes(TPGStream& stream, void* buffer, std::size_t count);
std::uint8_t ReadGIFByte(TPGStream& stream);
std::uint16_t ReadGIFWord(TPGStream& stream);
// One byte, or false where the data ends.
inline bool TryReadGIFByte(TPGStream& stream, std::uint8_t& value)
{
    return stream.Read(&value, 1) == 1;
}
inline void WriteGIFByte(TPGStream& stream, std::uint8_t value)
{
    stream.Write(&value, 1);
}
void WriteGIFWord(TPGStream& stream, std::uint16_t value);
// Moves the position by offset (stepping back over a byte looked at, or skipping data) but no
// further than either end: data skipped past the end is simply not there to read.
void MoveGIFStream(TPGStream& stream, std::int64_t offset);

} // namespace scenaria
