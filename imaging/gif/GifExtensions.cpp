#include "imaging/gif/GifExtensions.h"

#include "imaging/gif/GifException.h"
#include "imaging/gif/GifImage.h"

#include <algorithm>

namespace scenaria {

namespace {

template <class TExtension> std::unique_ptr<TGIFExtension> Make(TGIFSubImage* subImage)
{
    return std::make_unique<TExtension>(subImage);
}

const TGIFExtensionClass* KeepSelf(const TGIFExtensionClass& self, TPGStream&)
{
    return &self;
}

// An application block names its application only after its size byte; a block of the usual
// size 11 hands over to the class registered for its identifier.
const TGIFExtensionClass* RefineApplication(const TGIFExtensionClass& self, TPGStream& stream)
{
    const std::uint64_t start = stream.Position();
    std::uint8_t size = 0;
    TGIFApplicationIdentifier identifier{};
    if (TryReadGIFByte(stream, size) && size == 11 &&
        stream.Read(identifier.data(), identifier.size()) == identifier.size()) {
        const TGIFExtensionClass* found = AppExtensionList().Find(identifier);
        return found ? found : &TGIFUnknownAppExtension::ExtensionClass;
    }
    stream.Seek(start);
    return &self;
}

} // namespace

const TGIFExtensionClass TGIFGraphicControlExtension::ExtensionClass = {
    "TGIFGraphicControlExtension", 0xF9, Make<TGIFGraphicControlExtension>, KeepSelf};
const TGIFExtensionClass TGIFTextExtension::ExtensionClass = {"TGIFTextExtension", 0x01,
                                                              Make<TGIFTextExtension>, KeepSelf};
const TGIFExtensionClass TGIFCommentExtension::ExtensionClass = {
    "TGIFCommentExtension", 0xFE, Make<TGIFCommentExtension>, KeepSelf};
const TGIFExtensionClass TGIFApplicationExtension::ExtensionClass = {
    "TGIFApplicationExtension", 0xFF, Make<TGIFApplicationExtension>, RefineApplication};
const TGIFExtensionClass TGIFAppExtNSLoop::ExtensionClass = {
    "TGIFAppExtNSLoop", 0xFF, Make<TGIFAppExtNSLoop>, RefineApplication};
const TGIFExtensionClass TGIFUnknownAppExtension::ExtensionClass = {
    "TGIFUnknownAppExtension", 0xFF, Make<TGIFUnknownAppExtension>, RefineApplication};

const TGIFApplicationIdentifier TGIFAppExtNSLoop::NetscapeIdentifier = {
    'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};

void TExtensionList::Add(std::uint8_t label, const TGIFExtensionClass& extensionClass)
{
    entries_.emplace_back(label, &extensionClass);
}

const TGIFExtensionClass* TExtensionList::Find(std::uint8_t label) const
{
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (it->first == label)
            return it->second;
    return nullptr;
}

void TAppExtensionList::Add(const TGIFApplicationIdentifier& identifier,
                            const TGIFExtensionClass& appClass)
{
    entries_.emplace_back(identifier, &appClass);
}

const TGIFExtensionClass* TAppExtensionList::Find(const TGIFApplicationIdentifier& identifier) const
{
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (it->first == identifier)
            return it->second;
    return nullptr;
}

TExtensionList& ExtensionList()
{
    static TExtensionList list = [] {
        TExtensionList made;
        made.Add(0x01, TGIFTextExtension::ExtensionClass);
        made.Add(0xF9, TGIFGraphicControlExtension::ExtensionClass);
        made.Add(0xFE, TGIFCommentExtension::ExtensionClass);
        made.Add(0xFF, TGIFApplicationExtension::ExtensionClass);
        return made;
    }();
    return list;
}

TAppExtensionList& AppExtensionList()
{
    static TAppExtensionList list = [] {
        TAppExtensionList made;
        made.Add(TGIFAppExtNSLoop::NetscapeIdentifier, TGIFAppExtNSLoop::ExtensionClass);
        return made;
    }();
    return list;
}

const TGIFExtensionClass* FindExtensionClass(TPGStream& stream)
{
    const std::uint64_t start = stream.Position();
    std::uint8_t label = 0;
    const TGIFExtensionClass* found = nullptr;
    if (TryReadGIFByte(stream, label)) {
        found = ExtensionList().Find(label);
        // Each hand-over reads 12 bytes further, so on a finite stream this ends.
        while (found) {
            const TGIFExtensionClass* refined = found->Refine(*found, stream);
            if (refined == found)
                break;
            found = refined;
        }
    }
    stream.Seek(start);
    return found;
}

TGIFExtension::TGIFExtension(TGIFSubImage* subImage)
    : TGIFItem(subImage ? subImage->Image() : nullptr), subImage_(subImage)
{
}

void TGIFExtension::LoadFromStream(TPGStream& stream)
{
    std::uint8_t introducer[2];
    ReadGIFBytes(stream, introducer, 2);
    if (introducer[0] != 0x21)
        throw GIFException("Invalid extension introducer");
    if (introducer[1] != Label())
        throw GIFException("Internal error: Extension Instance does not match Extension Label");
    LoadData(stream);
}

void TGIFExtension::SaveToStream(TPGStream& stream)
{
    const std::uint8_t introducer[2] = {0x21, Label()};
    stream.Write(introducer, 2);
    SaveData(stream);
}

void LoadGIFStrings(TPGStream& stream, TGIFStrings& strings)
{
    strings.clear();
    std::uint8_t size = 0;
    if (!TryReadGIFByte(stream, size))
        return;
    while (size != 0) {
        std::string text(size, '\0');
        ReadGIFBytes(stream, text.data(), size);
        strings.push_back(std::move(text));
        if (!TryReadGIFByte(stream, size))
            return;
    }
}

void SaveGIFStrings(TPGStream& stream, const TGIFStrings& strings)
{
    for (const std::string& text : strings) {
        for (std::size_t at = 0; at < text.size(); at += 255) {
            const std::size_t piece = std::min<std::size_t>(255, text.size() - at);
            WriteGIFByte(stream, static_cast<std::uint8_t>(piece));
            stream.Write(text.data() + at, piece);
        }
    }
    WriteGIFByte(stream, 0);
}

// Graphic control

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* subImage)
    : TGIFExtension(subImage)
{
    if (subImage && !subImage->graphicControl_)
        subImage->graphicControl_ = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension()
{
    if (TGIFSubImage* frame = SubImage()) {
        if (Transparent())
            frame->transparent_ = false;
        if (frame->graphicControl_ == this)
            frame->graphicControl_ = nullptr;
    }
}

std::unique_ptr<TGIFExtension> TGIFGraphicControlExtension::Clone(TGIFSubImage* subImage) const
{
    auto copy = std::make_unique<TGIFGraphicControlExtension>(subImage);
    copy->BlockSize = BlockSize;
    copy->Packed = Packed;
    copy->Delay = Delay;
    copy->TransparentColorIndex = TransparentColorIndex;
    copy->Terminator = Terminator;
    return copy;
}

void TGIFGraphicControlExtension::SetDisposal(int disposal)
{
    Packed = static_cast<std::uint8_t>((Packed & ~0x1C) | (disposal & 7) << 2);
}

void TGIFGraphicControlExtension::SetTransparent(bool transparent)
{
    Packed = static_cast<std::uint8_t>(transparent ? Packed | 0x01 : Packed & ~0x01);
    if (SubImage())
        SubImage()->transparent_ = transparent;
}

void TGIFGraphicControlExtension::LoadData(TPGStream& stream)
{
    // The block size and terminator are kept as they stand, not checked.
    std::uint8_t bytes[6];
    ReadGIFBytes(stream, bytes, 6);
    BlockSize = bytes[0];
    Packed = bytes[1];
    Delay = static_cast<std::uint16_t>(bytes[2] | bytes[3] << 8);
    TransparentColorIndex = bytes[4];
    Terminator = bytes[5];
    if (Transparent() && SubImage())
        SubImage()->transparent_ = true;
}

void TGIFGraphicControlExtension::SaveData(TPGStream& stream) const
{
    const std::uint8_t bytes[6] = {BlockSize,
                                   Packed,
                                   static_cast<std::uint8_t>(Delay),
                                   static_cast<std::uint8_t>(Delay >> 8),
                                   TransparentColorIndex,
                                   Terminator};
    stream.Write(bytes, 6);
}

// Plain text

std::unique_ptr<TGIFExtension> TGIFTextExtension::Clone(TGIFSubImage* subImage) const
{
    auto copy = std::make_unique<TGIFTextExtension>(subImage);
    copy->BlockSize = BlockSize;
    copy->Left = Left;
    copy->Top = Top;
    copy->GridWidth = GridWidth;
    copy->GridHeight = GridHeight;
    copy->CellWidth = CellWidth;
    copy->CellHeight = CellHeight;
    copy->ForegroundColorIndex = ForegroundColorIndex;
    copy->BackgroundColorIndex = BackgroundColorIndex;
    copy->Text = Text;
    return copy;
}

void TGIFTextExtension::LoadData(TPGStream& stream)
{
    std::uint8_t bytes[13];
    ReadGIFBytes(stream, bytes, 13);
    BlockSize = bytes[0];
    Left = static_cast<std::uint16_t>(bytes[1] | bytes[2] << 8);
    Top = static_cast<std::uint16_t>(bytes[3] | bytes[4] << 8);
    GridWidth = static_cast<std::uint16_t>(bytes[5] | bytes[6] << 8);
    GridHeight = static_cast<std::uint16_t>(bytes[7] | bytes[8] << 8);
    CellWidth = bytes[9];
    CellHeight = bytes[10];
    ForegroundColorIndex = bytes[11];
    BackgroundColorIndex = bytes[12];
    LoadGIFStrings(stream, Text);
}

void TGIFTextExtension::SaveData(TPGStream& stream) const
{
    WriteGIFByte(stream, BlockSize);
    WriteGIFWord(stream, Left);
    WriteGIFWord(stream, Top);
    WriteGIFWord(stream, GridWidth);
    WriteGIFWord(stream, GridHeight);
    const std::uint8_t rest[4] = {CellWidth, CellHeight, ForegroundColorIndex,
                                  BackgroundColorIndex};
    stream.Write(rest, 4);
    SaveGIFStrings(stream, Text);
}

// Comment

std::unique_ptr<TGIFExtension> TGIFCommentExtension::Clone(TGIFSubImage* subImage) const
{
    auto copy = std::make_unique<TGIFCommentExtension>(subImage);
    copy->Text = Text;
    return copy;
}

void TGIFCommentExtension::LoadData(TPGStream& stream)
{
    LoadGIFStrings(stream, Text);
}

void TGIFCommentExtension::SaveData(TPGStream& stream) const
{
    SaveGIFStrings(stream, Text);
}

// Application

std::unique_ptr<TGIFExtension> TGIFApplicationExtension::Clone(TGIFSubImage* subImage) const
{
    auto copy = std::make_unique<TGIFApplicationExtension>(subImage);
    copy->Identifier = Identifier;
    return copy;
}

std::string TGIFApplicationExtension::IdentifierText() const
{
    return std::string(Identifier.begin(), Identifier.end());
}

void TGIFApplicationExtension::LoadData(TPGStream& stream)
{
    const std::uint8_t size = ReadGIFByte(stream);
    if (size == 11) {
        ReadGIFBytes(stream, Identifier.data(), Identifier.size());
        LoadApplicationData(stream);
        return;
    }
    // A block of another size is read as it stands: its bytes (as much of them as an
    // identifier holds are kept) and then its data sub-blocks, unless the next block starts
    // right after it, as it does when a writer left the data out.
    Warning("Unsupported Application Extension block size");
    std::vector<std::uint8_t> block(size);
    ReadGIFBytes(stream, block.data(), block.size());
    Identifier.fill(0);
    std::copy_n(block.begin(), std::min<std::size_t>(block.size(), Identifier.size()),
                Identifier.begin());
    std::uint8_t next = 0;
    if (!TryReadGIFByte(stream, next))
        return;
    MoveGIFStream(stream, -1);
    if (next == 0x2C || next == 0x21 || next == 0x3B)
        return;
    TGIFApplicationExtension::LoadApplicationData(stream);
}

void TGIFApplicationExtension::SaveData(TPGStream& stream) const
{
    WriteGIFByte(stream, 11);
    stream.Write(Identifier.data(), Identifier.size());
    SaveApplicationData(stream);
}

void TGIFApplicationExtension::LoadApplicationData(TPGStream& stream)
{
    // The data of an application nobody reads is passed over, to its terminator.
    TGIFBlock block;
    while (block.LoadFromStream(stream)) {
    }
}

void TGIFApplicationExtension::SaveApplicationData(TPGStream& stream) const
{
    WriteGIFByte(stream, 0);
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* subImage) : TGIFApplicationExtension(subImage)
{
    Identifier = NetscapeIdentifier;
}

std::unique_ptr<TGIFExtension> TGIFAppExtNSLoop::Clone(TGIFSubImage* subImage) const
{
    auto copy = std::make_unique<TGIFAppExtNSLoop>(subImage);
    copy->Identifier = Identifier;
    copy->Loops = Loops;
    return copy;
}

void TGIFAppExtNSLoop::LoadApplicationData(TPGStream& stream)
{
    if (ReadGIFByte(stream) != 3)
        throw GIFException("Invalid GIF data");
    if (ReadGIFByte(stream) != 1)
        throw GIFException("Invalid GIF data");
    Loops = ReadGIFWord(stream);
    if (ReadGIFByte(stream) != 0)
        throw GIFException("Invalid GIF data");
}

void TGIFAppExtNSLoop::SaveApplicationData(TPGStream& stream) const
{
    const std::uint8_t bytes[5] = {3, 1, static_cast<std::uint8_t>(Loops),
                                   static_cast<std::uint8_t>(Loops >> 8), 0};
    stream.Write(bytes, 5);
}

TGIFBlock::TGIFBlock(std::vector<std::uint8_t> data) : data_(std::move(data))
{
    if (data_.size() > 255)
        throw GIFException("Invalid GIF data");
}

bool TGIFBlock::LoadFromStream(TPGStream& stream)
{
    std::uint8_t size = 0;
    if (!TryReadGIFByte(stream, size) || size == 0)
        return false;
    data_.resize(size);
    ReadGIFBytes(stream, data_.data(), size);
    return true;
}

void TGIFBlock::SaveToStream(TPGStream& stream) const
{
    WriteGIFByte(stream, static_cast<std::uint8_t>(data_.size()));
    stream.Write(data_.data(), data_.size());
}

std::unique_ptr<TGIFExtension> TGIFUnknownAppExtension::Clone(TGIFSubImage* subImage) const
{
    auto copy = std::make_unique<TGIFUnknownAppExtension>(subImage);
    copy->Identifier = Identifier;
    copy->Blocks = Blocks;
    return copy;
}

void TGIFUnknownAppExtension::LoadApplicationData(TPGStream& stream)
{
    Blocks.clear();
    TGIFBlock block;
    while (block.LoadFromStream(stream))
        Blocks.push_back(block);
}

void TGIFUnknownAppExtension::SaveApplicationData(TPGStream& stream) const
{
    for (const TGIFBlock& block : Blocks)
        if (block.Size() > 0)
            block.SaveToStream(stream);
    WriteGIFByte(stream, 0);
}

// Extension list

TGIFExtensionList::TGIFExtensionList(TGIFSubImage* subImage)
    : TGIFList(subImage ? subImage->Image() : nullptr), subImage_(subImage)
{
}

void TGIFExtensionList::LoadFromStream(TPGStream& stream)
{
    std::uint8_t next = 0;
    if (!TryReadGIFByte(stream, next))
        return;
    while (next != 0x2C && next != 0x3B) {
        if (next != 0x21) {
            subImage_->Warning("Invalid extension introducer");
            break;
        }
        const TGIFExtensionClass* extensionClass = FindExtensionClass(stream);
        if (!extensionClass)
            throw GIFException("Unknown extension type");
        MoveGIFStream(stream, -1);
        std::unique_ptr<TGIFExtension> extension = extensionClass->Create(subImage_);
        extension->LoadFromStream(stream);
        Add(std::move(extension));
        if (!TryReadGIFByte(stream, next))
            return;
    }
    MoveGIFStream(stream, -1);
}

void TGIFExtensionList::SaveToStream(TPGStream& stream)
{
    for (auto& extension : items_)
        extension->SaveToStream(stream);
}

} // namespace scenaria
