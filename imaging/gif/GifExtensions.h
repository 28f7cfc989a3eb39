#pragma once
// GIF extension blocks (introducer 0x21, a label, then the block's own data) and the two
// registries that map a label, and an application identifier, to the class that reads it.

#include "imaging/gif/GifItem.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace scenaria {

class TGIFExtension;
class TGIFSubImage;

// What the registries hold for an extension class: its label, how to make an instance for a
// frame, and the refinement step that lets a class hand over to a more specific one after a
// look at the block (the application extension looks at its identifier).
struct TGIFExtensionClass {
    const char* Name;
    std::uint8_t Label;
    std::unique_ptr<TGIFExtension> (*Create)(TGIFSubImage* subImage);
    // Called with the stream just after the label; answers the class itself when it keeps the
    // block. The caller restores the stream position afterwards.
    const TGIFExtensionClass* (*Refine)(const TGIFExtensionClass& self, TPGStream& stream);
};

using TGIFApplicationIdentifier = std::array<std::uint8_t, 11>;

class TExtensionList {
public:
    void Add(std::uint8_t label, const TGIFExtensionClass& extensionClass);
    // The class registered last for the label, or nullptr.
    const TGIFExtensionClass* Find(std::uint8_t label) const;

private:
    std::vector<std::pair<std::uint8_t, const TGIFExtensionClass*>> entries_;
};

class TAppExtensionList {
public:
    void Add(const TGIFApplicationIdentifier& identifier, const TGIFExtensionClass& appClass);
    // Compared byte for byte over all 11 bytes; the entry registered last wins.
    const TGIFExtensionClass* Find(const TGIFApplicationIdentifier& identifier) const;

private:
    std::vector<std::pair<TGIFApplicationIdentifier, const TGIFExtensionClass*>> entries_;
};

// The process-wide registries, made on first use with the codec's own classes: text, graphic
// control, comment and application by label; "NETSCAPE2.0" by identifier.
TExtensionList& ExtensionList();
TAppExtensionList& AppExtensionList();

// With the stream at a block's label (after the 0x21): the class that reads the block, or
// nullptr when the label is unknown or missing. The stream position is left unchanged.
const TGIFExtensionClass* FindExtensionClass(TPGStream& stream);

class TGIFExtension : public TGIFItem {
public:
    explicit TGIFExtension(TGIFSubImage* subImage);

    TGIFSubImage* SubImage() const { return subImage_; }
    virtual const TGIFExtensionClass& ClassType() const = 0;
    std::uint8_t Label() const { return ClassType().Label; }

    // Reads the introducer and label (checked against the class) and then the block's data.
    void LoadFromStream(TPGStream& stream) override;
    void SaveToStream(TPGStream& stream) override;
    // A deep copy that belongs to another frame.
    virtual std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const = 0;

protected:
    virtual void LoadData(TPGStream& stream) = 0;
    virtual void SaveData(TPGStream& stream) const = 0;

private:
    TGIFSubImage* subImage_;
};

// Data sub-blocks read as strings: one string per sub-block; written in pieces of at most 255
// bytes, ended by a 0 byte.
using TGIFStrings = std::vector<std::string>;
void LoadGIFStrings(TPGStream& stream, TGIFStrings& strings);
void SaveGIFStrings(TPGStream& stream, const TGIFStrings& strings);

class TGIFGraphicControlExtension : public TGIFExtension {
public:
    static const TGIFExtensionClass ExtensionClass;

    // Becomes the frame's graphic control extension when the frame has none yet.
    explicit TGIFGraphicControlExtension(TGIFSubImage* subImage);
    ~TGIFGraphicControlExtension() override;

    const TGIFExtensionClass& ClassType() const override { return ExtensionClass; }
    std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;

    std::uint8_t BlockSize = 4;
    std::uint8_t Packed = 0;
    std::uint16_t Delay = 0; // hundredths of a second
    std::uint8_t TransparentColorIndex = 0;
    std::uint8_t Terminator = 0;

    int Disposal() const { return (Packed >> 2) & 7; }
    void SetDisposal(int disposal);
    bool UserInput() const { return (Packed & 0x02) != 0; }
    bool Transparent() const { return (Packed & 0x01) != 0; }
    // Also sets or clears the frame's transparent flag.
    void SetTransparent(bool transparent);

protected:
    void LoadData(TPGStream& stream) override;
    void SaveData(TPGStream& stream) const override;
};

class TGIFTextExtension : public TGIFExtension {
public:
    static const TGIFExtensionClass ExtensionClass;

    explicit TGIFTextExtension(TGIFSubImage* subImage) : TGIFExtension(subImage) {}
    const TGIFExtensionClass& ClassType() const override { return ExtensionClass; }
    std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;

    std::uint8_t BlockSize = 12;
    std::uint16_t Left = 0;
    std::uint16_t Top = 0;
    std::uint16_t GridWidth = 0;
    std::uint16_t GridHeight = 0;
    std::uint8_t CellWidth = 0;
    std::uint8_t CellHeight = 0;
    std::uint8_t ForegroundColorIndex = 0;
    std::uint8_t BackgroundColorIndex = 0;
    TGIFStrings Text;

protected:
    void LoadData(TPGStream& stream) override;
    void SaveData(TPGStream& stream) const override;
};

class TGIFCommentExtension : public TGIFExtension {
public:
    static const TGIFExtensionClass ExtensionClass;

    explicit TGIFCommentExtension(TGIFSubImage* subImage) : TGIFExtension(subImage) {}
    const TGIFExtensionClass& ClassType() const override { return ExtensionClass; }
    std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;

    TGIFStrings Text;

protected:
    void LoadData(TPGStream& stream) override;
    void SaveData(TPGStream& stream) const override;
};

// An application extension: block size, 11-byte identifier (8-byte application identifier and
// 3-byte authentication code), then data sub-blocks that the subclasses read. This class
// itself is what reads a block whose size is not 11, keeping only the identifier.
class TGIFApplicationExtension : public TGIFExtension {
public:
    static const TGIFExtensionClass ExtensionClass;

    explicit TGIFApplicationExtension(TGIFSubImage* subImage) : TGIFExtension(subImage) {}
    const TGIFExtensionClass& ClassType() const override { return ExtensionClass; }
    std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;

    TGIFApplicationIdentifier Identifier{};
    std::string IdentifierText() const;

protected:
    void LoadData(TPGStream& stream) final;
    void SaveData(TPGStream& stream) const final;
    // The data after the identifier, up to and including the terminating 0 byte.
    virtual void LoadApplicationData(TPGStream& stream);
    virtual void SaveApplicationData(TPGStream& stream) const;
};

// "NETSCAPE2.0": the loop count of an animation (0: repeat without end).
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
public:
    static const TGIFExtensionClass ExtensionClass;
    static const TGIFApplicationIdentifier NetscapeIdentifier;

    explicit TGIFAppExtNSLoop(TGIFSubImage* subImage);
    const TGIFExtensionClass& ClassType() const override { return ExtensionClass; }
    std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;

    std::uint16_t Loops = 0;

protected:
    void LoadApplicationData(TPGStream& stream) override;
    void SaveApplicationData(TPGStream& stream) const override;
};

// One data sub-block kept as it stands: its size and its bytes.
class TGIFBlock {
public:
    TGIFBlock() = default;
    explicit TGIFBlock(std::vector<std::uint8_t> data);

    int Size() const { return static_cast<int>(data_.size()); }
    const std::vector<std::uint8_t>& Data() const { return data_; }
    // Reads the size byte and the bytes; false (nothing read) at a 0 size or the stream's end.
    bool LoadFromStream(TPGStream& stream);
    void SaveToStream(TPGStream& stream) const;

private:
    std::vector<std::uint8_t> data_; // at most 255 bytes
};

// Any other application: its data sub-blocks are kept so that they can be written again.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
public:
    static const TGIFExtensionClass ExtensionClass;

    explicit TGIFUnknownAppExtension(TGIFSubImage* subImage) : TGIFApplicationExtension(subImage) {}
    const TGIFExtensionClass& ClassType() const override { return ExtensionClass; }
    std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;

    std::vector<TGIFBlock> Blocks;

protected:
    void LoadApplicationData(TPGStream& stream) override;
    void SaveApplicationData(TPGStream& stream) const override;
};

// The extension blocks that stand before a frame's image descriptor, in stream order.
class TGIFExtensionList : public TGIFList<TGIFExtension> {
public:
    explicit TGIFExtensionList(TGIFSubImage* subImage);

    TGIFSubImage* SubImage() const { return subImage_; }
    void LoadFromStream(TPGStream& stream);
    void SaveToStream(TPGStream& stream);

private:
    TGIFSubImage* subImage_;
};

} // namespace scenaria
