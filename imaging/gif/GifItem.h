#pragma once
// The building blocks every part of a GIF picture shares: items that belong to a picture and
// pass their warnings to it, lists that own their items, and the callbacks a picture offers.

#include "imaging/gif/GifStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace scenaria {

class TGIFImage;
class TGIFItem;

enum TGIFProgressStage : int { gpsStarting, gpsRunning, gpsEnding };

// Warnings carry the item that gives them (nullptr: the picture itself) and a severity, which is
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

    virtual void LoadFromStream(TGIFStream& stream) = 0;
    virtual void SaveToStream(TGIFStream& stream) = 0;

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
void ReadGIFBytes(TGIFStream& stream, void* buffer, std::size_t count);
std::uint8_t ReadGIFByte(TGIFStream& stream);
std::uint16_t ReadGIFWord(TGIFStream& stream);
void WriteGIFWord(TGIFStream& stream, std::uint16_t value);

} // namespace scenaria
