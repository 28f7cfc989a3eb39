// MakeOptimizedPalette: a median cut over a 5-6-5 histogram for true-colour sources, an octree
// of the used palette entries weighted by their pixel counts for palette sources.

#include "imaging/Palettes.h"
#include "imaging/PixelGraphic.h"

#include <algorithm>
#include <array>
#include <vector>

namespace scenaria {

namespace {

// ---- Median cut ----

constexpr int RCells = 32, GCells = 64, BCells = 32;

int HistCell(int r, int g, int b)
{
    return (r * GCells + g) * BCells + b;
}

struct TBox {
    int R0, R1, G0, G1, B0, B1;
    std::int64_t Volume = 0;
    std::int64_t Count = 0; // occupied cells inside the bounds
};

class TMedianCut {
public:
    explicit TMedianCut(const std::vector<std::uint16_t>& histogram) : hist_(histogram) {}

    std::vector<TColor> Run(int n)
    {
        std::vector<TBox> boxes;
        boxes.reserve(n);
        boxes.push_back({0, RCells - 1, 0, GCells - 1, 0, BCells - 1});
        Shrink(boxes[0]);
        while (static_cast<int>(boxes.size()) < n) {
            // Large boxes by volume once half the colours are placed, by population before.
            const bool byVolume = n < 2 * static_cast<int>(boxes.size());
            int pick = -1;
            for (int i = 0; i < static_cast<int>(boxes.size()); ++i) {
                const TBox& b = boxes[i];
                if (b.Volume <= 0)
                    continue;
                if (pick < 0 ||
                    (byVolume ? b.Volume > boxes[pick].Volume : b.Count > boxes[pick].Count))
                    pick = i;
            }
            if (pick < 0)
                break;
            TBox& old = boxes[pick];
            TBox split = old;
            const int wr = 16 * (old.R1 - old.R0), wg = 12 * (old.G1 - old.G0),
                      wb = 16 * (old.B1 - old.B0);
            int axis = 1, widest = wg;
            if (wr > widest) {
                axis = 0;
                widest = wr;
            }
            if (wb > widest)
                axis = 2;
            if (axis == 0) {
                const int mid = (old.R0 + old.R1) / 2;
                old.R1 = mid;
                split.R0 = mid + 1;
            } else if (axis == 1) {
                const int mid = (old.G0 + old.G1) / 2;
                old.G1 = mid;
                split.G0 = mid + 1;
            } else {
                const int mid = (old.B0 + old.B1) / 2;
                old.B1 = mid;
                split.B0 = mid + 1;
            }
            Shrink(old);
            Shrink(split);
            boxes.push_back(split);
        }
        std::vector<TColor> colors;
        for (const TBox& b : boxes)
            colors.push_back(Mean(b));
        return colors;
    }

private:
    void Shrink(TBox& box) const
    {
        int r0 = RCells, r1 = -1, g0 = GCells, g1 = -1, b0 = BCells, b1 = -1;
        std::int64_t count = 0;
        for (int r = box.R0; r <= box.R1; ++r)
            for (int g = box.G0; g <= box.G1; ++g) {
                const std::uint16_t* cell = &hist_[HistCell(r, g, 0)];
                for (int b = box.B0; b <= box.B1; ++b)
                    if (cell[b]) {
                        ++count;
                        r0 = std::min(r0, r);
                        r1 = std::max(r1, r);
                        g0 = std::min(g0, g);
                        g1 = std::max(g1, g);
                        b0 = std::min(b0, b);
                        b1 = std::max(b1, b);
                    }
            }
        if (count > 0)
            box = {r0, r1, g0, g1, b0, b1};
        const std::int64_t dr = 16 * (box.R1 - box.R0), dg = 12 * (box.G1 - box.G0),
                           db = 16 * (box.B1 - box.B0);
        box.Volume = dr * dr + dg * dg + db * db;
        box.Count = count;
    }

    TColor Mean(const TBox& box) const
    {
        std::int64_t total = 0, rs = 0, gs = 0, bs = 0;
        for (int r = box.R0; r <= box.R1; ++r)
            for (int g = box.G0; g <= box.G1; ++g)
                for (int b = box.B0; b <= box.B1; ++b) {
                    const std::int64_t c = hist_[HistCell(r, g, b)];
                    total += c;
                    rs += (8 * r + 4) * c;
                    gs += (4 * g + 2) * c;
                    bs += (8 * b + 4) * c;
                }
        if (total == 0)
            return 0;
        return RGB(static_cast<int>((rs + total / 2) / total),
                   static_cast<int>((gs + total / 2) / total),
                   static_cast<int>((bs + total / 2) / total));
    }

    const std::vector<std::uint16_t>& hist_;
};

std::vector<TColor> MedianCutColors(TPixelGraphic& target, const TPixelGraphic& source, int n)
{
    std::vector<std::uint16_t> histogram(RCells * GCells * BCells);
    const int height = source.Height();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = source.ScanLine(y);
        for (int x = 0; x < source.Width(); ++x, p += 3) {
            std::uint16_t& cell = histogram[HistCell(p[2] >> 3, p[1] >> 2, p[0] >> 3)];
            if (cell < 65535)
                ++cell;
        }
        if (target.DoProgress(y, height - 1))
            break;
    }
    return TMedianCut(histogram).Run(n);
}

// ---- Octree ----

class TOctree {
public:
    explicit TOctree(int maxLeaves) : maxLeaves_(maxLeaves) { reducible_.fill(-1); }

    void Insert(TColor color, std::uint64_t weight)
    {
        const int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
        if (root_ < 0)
            root_ = NewNode(0);
        int node = root_;
        for (;;) {
            TNode& n = nodes_[node];
            n.Count += weight;
            n.R += r * weight;
            n.G += g * weight;
            n.B += b * weight;
            if (n.Leaf)
                break;
            const int shift = 7 - n.Level;
            const int slot = ((r >> shift) & 1) << 2 | ((g >> shift) & 1) << 1 | ((b >> shift) & 1);
            if (n.Children[slot] < 0) {
                const int level = n.Level;
                const int child = NewNode(level + 1); // may move nodes_
                TNode& parent = nodes_[node];
                parent.Children[slot] = child;
                if (++parent.ChildCount == 2)
                    PushReducible(node);
            }
            node = nodes_[node].Children[slot];
        }
        while (leaves_ > maxLeaves_)
            Reduce();
    }

    std::vector<TColor> Colors() const
    {
        std::vector<TColor> colors;
        if (root_ >= 0)
            Collect(root_, colors);
        return colors;
    }

private:
    struct TNode {
        int Level = 0;
        bool Leaf = false;
        bool InList = false;
        std::uint64_t Count = 0, R = 0, G = 0, B = 0;
        int ChildCount = 0;
        std::array<int, 8> Children{-1, -1, -1, -1, -1, -1, -1, -1};
        int Next = -1, Prev = -1;
    };

    int NewNode(int level)
    {
        TNode n;
        n.Level = level;
        n.Leaf = level >= maxDepth_;
        if (n.Leaf)
            ++leaves_;
        nodes_.push_back(n);
        return static_cast<int>(nodes_.size()) - 1;
    }

    void PushReducible(int node)
    {
        TNode& n = nodes_[node];
        if (n.InList)
            return;
        n.InList = true;
        n.Prev = -1;
        n.Next = reducible_[n.Level];
        if (n.Next >= 0)
            nodes_[n.Next].Prev = node;
        reducible_[n.Level] = node;
    }

    void Unlink(int node)
    {
        TNode& n = nodes_[node];
        if (!n.InList)
            return;
        if (n.Prev >= 0)
            nodes_[n.Prev].Next = n.Next;
        else
            reducible_[n.Level] = n.Next;
        if (n.Next >= 0)
            nodes_[n.Next].Prev = n.Prev;
        n.InList = false;
        n.Next = n.Prev = -1;
    }

    // Frees the subtree below node and returns how many leaves it held.
    int FreeChildren(int node)
    {
        int freed = 0;
        for (int& child : nodes_[node].Children) {
            if (child < 0)
                continue;
            Unlink(child);
            freed += nodes_[child].Leaf ? 1 : FreeChildren(child);
            child = -1;
        }
        nodes_[node].ChildCount = 0;
        return freed;
    }

    void Reduce()
    {
        int level = 7;
        while (level >= 0 && reducible_[level] < 0)
            --level;
        if (level < 0)
            return;
        // The darkest node of the deepest reducible level gives up its children.
        int best = -1;
        std::uint64_t bestKey = 0;
        for (int n = reducible_[level]; n >= 0; n = nodes_[n].Next) {
            const TNode& node = nodes_[n];
            const std::uint64_t key = 2 * node.R + 3 * node.G + node.B;
            if (best < 0 || key < bestKey) {
                best = n;
                bestKey = key;
            }
        }
        Unlink(best);
        const int freed = FreeChildren(best);
        nodes_[best].Leaf = true;
        leaves_ += 1 - freed;
        maxDepth_ = std::min(maxDepth_, level + 1);
    }

    void Collect(int node, std::vector<TColor>& colors) const
    {
        const TNode& n = nodes_[node];
        if (n.Leaf) {
            colors.push_back(RGB(static_cast<int>(n.R / n.Count), static_cast<int>(n.G / n.Count),
                                 static_cast<int>(n.B / n.Count)));
            return;
        }
        for (int child : n.Children)
            if (child >= 0)
                Collect(child, colors);
    }

    int maxLeaves_;
    int maxDepth_ = 8;
    int leaves_ = 0;
    int root_ = -1;
    std::vector<TNode> nodes_;
    std::array<int, 8> reducible_{};
};

std::vector<TColor> OctreeColors(TPixelGraphic& target, const TPixelGraphic& source,
                                 const std::array<TColor, 256>& colors, int n)
{
    std::array<std::uint64_t, 256> counts{};
    const int height = source.Height();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = source.ScanLine(y);
        for (int x = 0; x < source.Width(); ++x)
            ++counts[RowIndex(row, x, source.BitCount())];
        if (target.DoProgress(y, height - 1))
            break;
    }
    TOctree tree(n);
    for (int i = 0; i < 256; ++i)
        if (counts[i])
            tree.Insert(colors[i], counts[i]);
    return tree.Colors();
}

} // namespace

void MakeOptimizedPalette(TPixelGraphic& target, const TPixelGraphic& source, int maxColors,
                          bool withSystemColors)
{
    // No palette holds more than 256 entries.
    maxColors = std::clamp(maxColors, 0, 256);
    const int n = withSystemColors ? maxColors - 16 : maxColors;
    if (source.Empty() || n < 1) {
        target.SetPaletteIdent(pSys16);
        target.SetPaletteCount(std::min(maxColors, 16));
        return;
    }
    // Taken before the target's palette goes, in case the target is the source itself.
    std::array<TColor, 256> sourceColors{};
    source.GetColorTable(sourceColors);
    target.SetPaletteCount(0);
    const std::vector<TColor> colors = source.BitCount() == bc24Bit
                                           ? MedianCutColors(target, source, n)
                                           : OctreeColors(target, source, sourceColors, n);
    target.SetPaletteCount(static_cast<int>(colors.size()));
    for (std::size_t i = 0; i < colors.size(); ++i)
        target.SetPaletteEntry(static_cast<int>(i), colors[i]);
    if (withSystemColors)
        for (TColor c : SystemColors16)
            if (target.PaletteCount() < maxColors) {
                target.SetPaletteCount(target.PaletteCount() + 1);
                target.SetPaletteEntry(target.PaletteCount() - 1, c);
            }
}

} // namespace scenaria
