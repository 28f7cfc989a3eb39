#pragma once
// GIF colour tables: red, green, blue triples as the stream holds them.

#include "imaging/Stream.h"

#include <cstdint>
#include <memory>
#include <string>

namespace scenaria {

class TGIFHeader;
class TGIFSubImage;

struct TGIFColor {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;

    friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};

class TGIFColorMap {
public:
    static constexpr int MaxColors = 256;

    TGIFColorMap() = default;
    virtual ~TGIFColorMap() = default;
    TGIFColorMap(const TGIFColorMap&) = delete;
    TGIFColorMap& operator=(const TGIFColorMap&) = delete;

    int Count() const { return count_; }
    int Capacity() const { return capacity_; }
    bool Empty() const { return count_ == 0; }
    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted) { sorted_ = sorted; }
    const TGIFColor* Data() const { return entries_.get(); }

    void Clear();
    // Makes room for n entries: nothing when n is below the capacity; otherwise 16 entries for
    // n up to 16, else n rounded up to a multiple of 32, never more than 256.
    void Reserve(int n);
    // Reads count entries (3 bytes each); count must lie in 0..256.
    void LoadFromStream(TPGStream& stream, int count);
    // Writes the entries and then black entries up to 2^bits, where bits is the table's own bit
    // depth or, when larger, minBits (a descriptor may announce a larger table than this one).
    void SaveToStream(TPGStream& stream, int minBits = 0) const;
    // The smallest b in 1..8 with 2^b >= Count(); 0 for an empty table.
    int BitsPerPixel() const;
    // Exact match; a sorted table is searched from the first entry, others from the last.
    int IndexOf(TGIFColor color) const;
    // The index of the colour, appending it when absent ("Color table overflow" when full).
    int Add(TGIFColor color);
    // The colour of an index; outside the table: warning "Invalid color index" and black.
    TGIFColor Colors(int index) const;
    void Assign(const TGIFColorMap& source);

protected:
    virtual void Changed() {}
    virtual void Warning(const std::string& message) const {}

private:
    std::unique_ptr<TGIFColor[]> entries_;
    int count_ = 0;
    int capacity_ = 0;
    bool sorted_ = false;
};

class TGIFGlobalColorMap : public TGIFColorMap {
public:
    explicit TGIFGlobalColorMap(TGIFHeader* header) : header_(header) {}
    TGIFHeader* Header() const { return header_; }

protected:
    void Changed() override;
    void Warning(const std::string& message) const override;

private:
    TGIFHeader* header_;
};

class TGIFLocalColorMap : public TGIFColorMap {
public:
    explicit TGIFLocalColorMap(TGIFSubImage* subImage) : subImage_(subImage) {}
    TGIFSubImage* SubImage() const { return subImage_; }

protected:
    void Changed() override;
    void Warning(const std::string& message) const override;

private:
    TGIFSubImage* subImage_;
};

} // namespace scenaria
