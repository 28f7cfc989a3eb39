#pragma once
// The variable-width LZW coding of GIF frame data.

#include "imaging/Stream.h"

#include <cstdint>

namespace scenaria {

class TGIFItem;

// Decodes a frame's data (initial code size byte, data sub-blocks, terminator) into pixels,
// width * height bytes that the caller has cleared. Rows of an interlaced frame are put in
// their display places. Pixels the data does not reach keep their value. Warnings go to
// sender; corrupt data raises GIFException.
void DecodeGIFPixels(TPGStream& stream, std::uint8_t* pixels, int width, int height,
                     bool interlaced, const TGIFItem& sender);

// Writes a frame's data: the initial code size, the codes in sub-blocks of at most 254 bytes
// and a 0 byte. Every pixel must be below 2^initialCodeSize (2 to 8).
void EncodeGIFPixels(TPGStream& stream, const std::uint8_t* pixels, int width, int height,
                     bool interlaced, int initialCodeSize);

// Visits the rows of an interlaced frame in stream order: 0, 8, 16, ...; 4, 12, ...;
// 2, 6, ...; 1, 3, 5, ...
class TGIFInterlacedRows {
public:
    explicit TGIFInterlacedRows(int height) : height_(height) {}
    int Row() const { return row_; }
    void Next();

private:
    int height_;
    int row_ = 0;
    int step_ = 8;
    int pass_ = 0;
};

// The encoder's string table: 8009 slots of 32 bits (all bits set: empty), each holding
// key << 12 | code for the key prefix << 8 | byte.
class THashTable {
public:
    static constexpr int Slots = 8009;
    static constexpr std::uint32_t Empty = 0xFFFFFFFFu;

    THashTable() { Clear(); }
    void Clear();
    // The code stored for the key, or -1. Doubling modulo 8009 visits 4004 slots before it
    // comes round again; a lookup that has seen them all without an empty slot has not found
    // the key.
    int Lookup(std::uint32_t key) const
    {
        int slot = FirstSlot(key);
        for (int probe = 0; probe < Slots; ++probe) {
            const std::uint32_t entry = slots_[slot];
            if (entry == Empty)
                return -1;
            if ((entry >> 12) == key)
                return int(entry & 0xFFF);
            slot = NextSlot(slot);
        }
        return -1;
    }
    // False when no free slot can be reached from the key's first slot.
    bool Insert(std::uint32_t key, int code);

    static int FirstSlot(std::uint32_t key) { return int((key ^ (key >> 4)) % Slots); }
    static int NextSlot(int slot)
    {
        if (slot == 0)
            return Slots - 1;
        const int doubled = 2 * slot - Slots;
        return doubled >= 0 ? doubled : 2 * slot;
    }

private:
    std::uint32_t slots_[Slots];
};

} // namespace scenaria
