// Extension blocks: graphic control, plain text, comment and application
// blocks, the two registries, and how a frame's blocks are read.
#include <algorithm>
#include <cstring>

#include "gif/GIFImage.h"

namespace {
template <class T>
TGIFExtension* CreateExtension(TGIFSubImage* SubImage) {
  return new T(SubImage);
}
template <class T>
const TGIFExtensionClass* ResolveSelf(TStream&) {
  return &T::Class;
}

// Reads and drops up to Count bytes; false when the stream ended first.
bool SkipBytes(TStream& Stream, int64_t Count) {
  uint8_t buffer[256];
  while (Count > 0) {
    const int64_t n = std::min<int64_t>(Count, sizeof(buffer));
    if (Stream.Read(buffer, n) != n) return false;
    Count -= n;
  }
  return true;
}

void WriteWord(TStream& Stream, uint16_t Value) {
  const uint8_t b[2] = {static_cast<uint8_t>(Value), static_cast<uint8_t>(Value >> 8)};
  Stream.WriteBuffer(b, 2);
}

const TGIFExtensionClass* ResolveApplication(TStream& Stream);
}  // namespace

const TGIFExtensionClass TGIFGraphicControlExtension::Class = {
    "TGIFGraphicControlExtension", &CreateExtension<TGIFGraphicControlExtension>,
    &ResolveSelf<TGIFGraphicControlExtension>};
const TGIFExtensionClass TGIFTextExtension::Class = {"TGIFTextExtension", &CreateExtension<TGIFTextExtension>,
                                                     &ResolveSelf<TGIFTextExtension>};
const TGIFExtensionClass TGIFCommentExtension::Class = {
    "TGIFCommentExtension", &CreateExtension<TGIFCommentExtension>, &ResolveSelf<TGIFCommentExtension>};
const TGIFExtensionClass TGIFApplicationExtension::Class = {
    "TGIFApplicationExtension", &CreateExtension<TGIFApplicationExtension>, &ResolveApplication};
// A resolved application class is final: it answers itself.
const TGIFExtensionClass TGIFUnknownAppExtension::Class = {
    "TGIFUnknownAppExtension", &CreateExtension<TGIFUnknownAppExtension>, &ResolveSelf<TGIFUnknownAppExtension>};
const TGIFExtensionClass TGIFAppExtNSLoop::Class = {"TGIFAppExtNSLoop", &CreateExtension<TGIFAppExtNSLoop>,
                                                    &ResolveSelf<TGIFAppExtNSLoop>};

namespace {
// Stream just after the 0xFF label: the block size and the identifier decide.
const TGIFExtensionClass* ResolveApplication(TStream& Stream) {
  const int64_t start = Stream.Position();
  uint8_t size;
  if (!TryReadByte(Stream, size)) return nullptr;
  uint8_t identifier[255];
  if (size == 10) {
    if (Stream.Read(identifier, 10) != 10) return nullptr;
    return &TGIFUnknownAppExtension::Class;
  }
  if (size >= 11 && Stream.Read(identifier, 11) == 11) {
    if (size == 11) {
      const TGIFExtensionClass* found = AppExtensionRegistry().Find(identifier);
      return found != nullptr ? found : &TGIFUnknownAppExtension::Class;
    }
    // An oversized block: its first eleven bytes are the identifier, the rest
    // is skipped, and the sub-blocks are kept raw.
    return &TGIFUnknownAppExtension::Class;
  }
  Stream.SetPosition(start);
  return &TGIFApplicationExtension::Class;
}
}  // namespace

// --- Registries

void TExtensionList::Add(uint8_t Label, const TGIFExtensionClass* Class) { FEntries.emplace_back(Label, Class); }

const TGIFExtensionClass* TExtensionList::Find(uint8_t Label) const {
  for (auto it = FEntries.rbegin(); it != FEntries.rend(); ++it)
    if (it->first == Label) return it->second;
  return nullptr;
}

void TAppExtensionList::Add(const std::string& Identifier, const TGIFExtensionClass* Class) {
  TGIFApplicationIdentifier id{};
  std::memcpy(id.data(), Identifier.data(), std::min<size_t>(Identifier.size(), id.size()));
  FEntries.emplace_back(id, Class);
}

const TGIFExtensionClass* TAppExtensionList::Find(const uint8_t* Identifier) const {
  for (auto it = FEntries.rbegin(); it != FEntries.rend(); ++it)
    if (std::memcmp(it->first.data(), Identifier, it->first.size()) == 0) return it->second;
  return nullptr;
}

TExtensionList& ExtensionRegistry() {
  static TExtensionList registry = [] {
    TExtensionList r;
    r.Add(0x01, &TGIFTextExtension::Class);
    r.Add(0xF9, &TGIFGraphicControlExtension::Class);
    r.Add(0xFE, &TGIFCommentExtension::Class);
    r.Add(0xFF, &TGIFApplicationExtension::Class);
    return r;
  }();
  return registry;
}

TAppExtensionList& AppExtensionRegistry() {
  static TAppExtensionList registry = [] {
    TAppExtensionList r;
    r.Add("NETSCAPE2.0", &TGIFAppExtNSLoop::Class);
    r.Add("ANIMEXTS1.0", &TGIFAppExtNSLoop::Class);
    return r;
  }();
  return registry;
}

// --- TGIFExtension

TGIFExtension::TGIFExtension(TGIFSubImage* SubImage)
    : TGIFItem(SubImage != nullptr ? SubImage->Image() : nullptr), FSubImage(SubImage) {}

TGIFExtension::~TGIFExtension() {
  if (FSubImage != nullptr) FSubImage->Extensions().Detach(this);
}

void TGIFExtension::SaveToStream(TStream& Stream) {
  // Extension introducer and label.
  const uint8_t head[2] = {0x21, ExtensionType()};
  Stream.WriteBuffer(head, 2);
}

void TGIFExtension::LoadFromStream(TStream& Stream) {
  uint8_t head[2];
  ReadCheck(Stream, head, 2);
  if (head[0] != 0x21) Error(gifmsg::BadExtensionLabel);
  if (head[1] != ExtensionType()) Error(gifmsg::BadExtensionInstance);
}

const TGIFExtensionClass* TGIFExtension::FindExtension(TStream& Stream) {
  const int64_t start = Stream.Position();
  const TGIFExtensionClass* cls = nullptr;
  uint8_t label;
  if (TryReadByte(Stream, label)) {
    cls = ExtensionRegistry().Find(label);
    while (cls != nullptr) {
      const TGIFExtensionClass* next = cls->ResolveClass(Stream);
      if (next == cls) break;
      cls = next;
    }
  }
  Stream.SetPosition(start);
  return cls;
}

// --- TGIFExtensionList

void TGIFExtensionList::LoadFromStream(TStream& Stream, TGIFSubImage* Parent) {
  uint8_t b;
  if (!TryReadByte(Stream, b)) return;
  while (b != 0x2C && b != 0x3B) {
    if (b != 0x21) {
      Warning(1, gifmsg::BadExtensionLabel);
      break;
    }
    const TGIFExtensionClass* cls = TGIFExtension::FindExtension(Stream);
    if (cls == nullptr) Error(gifmsg::UnknownExtension);
    Stream.Seek(-1, soCurrent);
    std::unique_ptr<TGIFExtension> extension(cls->Create(Parent));
    extension->LoadFromStream(Stream);
    Add(std::move(extension));
    if (!TryReadByte(Stream, b)) return;
  }
  // Leave the byte that ended the list for the frame.
  Stream.Seek(-1, soCurrent);
}

// --- Graphic control extension

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* SubImage) : TGIFExtension(SubImage) {
  if (SubImage != nullptr && SubImage->FGraphicControlExtension == nullptr)
    SubImage->FGraphicControlExtension = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
  if (FSubImage == nullptr) return;
  if (Transparent()) FSubImage->FTransparent = false;
  if (FSubImage->FGraphicControlExtension == this) FSubImage->FGraphicControlExtension = nullptr;
}

void TGIFGraphicControlExtension::SaveToStream(TStream& Stream) {
  TGIFExtension::SaveToStream(Stream);
  // Block size, packed fields, delay time, transparent colour index, terminator.
  const uint8_t b[6] = {FBlockSize, FPacked, static_cast<uint8_t>(FDelay), static_cast<uint8_t>(FDelay >> 8),
                        FTransparentColorIndex, FTerminator};
  Stream.WriteBuffer(b, 6);
}

void TGIFGraphicControlExtension::LoadFromStream(TStream& Stream) {
  TGIFExtension::LoadFromStream(Stream);
  uint8_t b[6] = {};
  const int64_t n = Stream.Read(b, 6);
  // The block keeps whatever was there.
  if (n > 0) FBlockSize = b[0];
  if (n > 1) FPacked = b[1];
  if (n > 2) FDelay = b[2];
  if (n > 3) FDelay = static_cast<uint16_t>(b[2] | (b[3] << 8));
  if (n > 4) FTransparentColorIndex = b[4];
  if (n > 5) FTerminator = b[5];
  if (n < 6) {
    Warning(1, gifmsg::OutOfData);
    return;
  }
  if (Transparent() && FSubImage != nullptr) FSubImage->FTransparent = true;
}

void TGIFGraphicControlExtension::SetTransparent(bool Value) {
  FPacked = static_cast<uint8_t>(Value ? (FPacked | 0x01) : (FPacked & ~0x01));
  if (FSubImage != nullptr) FSubImage->FTransparent = Value;
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int Value) {
  if (FSubImage != nullptr) {
    const int count = FSubImage->ActiveColorMap().Count();
    if (count > 0 && Value >= count) {
      Warning(1, gifmsg::BadColorIndex);
      Value = 0;
    }
  }
  FTransparentColorIndex = static_cast<uint8_t>(Value);
}

void TGIFGraphicControlExtension::SetDisposal(TDisposalMethod Value) {
  FPacked = static_cast<uint8_t>((FPacked & ~0x1C) | ((Value << 2) & 0x1C));
}

void TGIFGraphicControlExtension::SetUserInput(bool Value) {
  FPacked = static_cast<uint8_t>(Value ? (FPacked | 0x02) : (FPacked & ~0x02));
}

// --- Plain text extension

TGIFTextExtension::TGIFTextExtension(TGIFSubImage* SubImage) : TGIFExtension(SubImage) {}

void TGIFTextExtension::SaveToStream(TStream& Stream) {
  TGIFExtension::SaveToStream(Stream);
  // Block size, text grid position and size, cell size, colour indexes.
  const uint8_t b[13] = {FBlockSize,
                         static_cast<uint8_t>(FLeft), static_cast<uint8_t>(FLeft >> 8),
                         static_cast<uint8_t>(FTop), static_cast<uint8_t>(FTop >> 8),
                         static_cast<uint8_t>(FGridWidth), static_cast<uint8_t>(FGridWidth >> 8),
                         static_cast<uint8_t>(FGridHeight), static_cast<uint8_t>(FGridHeight >> 8),
                         FCharWidth, FCharHeight, FForegroundColorIndex, FBackgroundColorIndex};
  Stream.WriteBuffer(b, 13);
  WriteStrings(Stream, FText);
}

void TGIFTextExtension::LoadFromStream(TStream& Stream) {
  TGIFExtension::LoadFromStream(Stream);
  uint8_t b[13];
  ReadCheck(Stream, b, 13);
  FBlockSize = b[0];
  FLeft = static_cast<uint16_t>(b[1] | (b[2] << 8));
  FTop = static_cast<uint16_t>(b[3] | (b[4] << 8));
  FGridWidth = static_cast<uint16_t>(b[5] | (b[6] << 8));
  FGridHeight = static_cast<uint16_t>(b[7] | (b[8] << 8));
  FCharWidth = b[9];
  FCharHeight = b[10];
  FForegroundColorIndex = b[11];
  FBackgroundColorIndex = b[12];
  ReadStrings(Stream, FText);
}

// --- Comment extension

void TGIFCommentExtension::SaveToStream(TStream& Stream) {
  TGIFExtension::SaveToStream(Stream);
  WriteStrings(Stream, FText);
}

void TGIFCommentExtension::LoadFromStream(TStream& Stream) {
  TGIFExtension::LoadFromStream(Stream);
  ReadStrings(Stream, FText);
}

// --- Application extensions

void TGIFApplicationExtension::SetIdentifier(const std::string& Value) {
  FIdentifier.fill(0);
  std::memcpy(FIdentifier.data(), Value.data(), std::min<size_t>(Value.size(), FIdentifier.size()));
}

std::string TGIFApplicationExtension::IdentifierString() const {
  return std::string(reinterpret_cast<const char*>(FIdentifier.data()), FIdentifier.size());
}

void TGIFApplicationExtension::SaveToStream(TStream& Stream) {
  TGIFExtension::SaveToStream(Stream);
  // Block size, application identifier and authentication code. A raw block
  // under a registered identifier (read from an oversized block) would come
  // back as the registered kind at size 11; one zero byte past the
  // identifier keeps it oversized, so it reads back raw again.
  const bool keepRaw =
      &ClassType() == &TGIFUnknownAppExtension::Class && AppExtensionRegistry().Find(FIdentifier.data()) != nullptr;
  WriteByte(Stream, keepRaw ? 12 : 11);
  Stream.WriteBuffer(FIdentifier.data(), 11);
  if (keepRaw) WriteByte(Stream, 0);
  SaveSubBlocks(Stream);
}

void TGIFApplicationExtension::LoadFromStream(TStream& Stream) {
  TGIFExtension::LoadFromStream(Stream);
  uint8_t size;
  ReadCheck(Stream, &size, 1);
  if (size < 10) Error(gifmsg::BadAppBlockSize);
  FIdentifier.fill(0);
  if (size == 10) {
    ReadCheck(Stream, FIdentifier.data(), 10);
  } else {
    ReadCheck(Stream, FIdentifier.data(), 11);
    if (!SkipBytes(Stream, size - 11)) Error(gifmsg::OutOfData);
  }
  LoadSubBlocks(Stream);
}

void TGIFApplicationExtension::SaveSubBlocks(TStream& Stream) {
  // Block terminator.
  WriteByte(Stream, 0);
}

void TGIFApplicationExtension::LoadSubBlocks(TStream& Stream) {
  uint8_t length;
  while (TryReadByte(Stream, length) && length != 0)
    if (!SkipBytes(Stream, length)) return;
}

void TGIFBlock::SaveToStream(TStream& Stream) const {
  WriteByte(Stream, Size());
  Stream.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

void TGIFBlock::LoadFromStream(TStream& Stream) { ReadCheck(Stream, FData.data(), static_cast<int64_t>(FData.size())); }

void TGIFUnknownAppExtension::SaveSubBlocks(TStream& Stream) {
  for (const auto& block : FBlocks) block->SaveToStream(Stream);
  WriteByte(Stream, 0);
}

void TGIFUnknownAppExtension::LoadSubBlocks(TStream& Stream) {
  FBlocks.clear();
  uint8_t length;
  // The end of the stream ends the block.
  while (TryReadByte(Stream, length) && length != 0) {
    auto block = std::make_unique<TGIFBlock>(length);
    block->LoadFromStream(Stream);
    FBlocks.push_back(std::move(block));
  }
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* SubImage) : TGIFApplicationExtension(SubImage) {
  SetIdentifier("NETSCAPE2.0");
}

void TGIFAppExtNSLoop::SaveSubBlocks(TStream& Stream) {
  // Looping sub-block: id 1, loop count.
  const uint8_t loop[3] = {3, 1, 0};
  Stream.WriteBuffer(loop, 2);
  WriteWord(Stream, FLoops);
  if (FBufferSize > 0) {
    // Buffering sub-block: id 2, buffer size.
    const uint32_t v = static_cast<uint32_t>(FBufferSize);
    const uint8_t b[6] = {5, 2, static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 24)};
    Stream.WriteBuffer(b, 6);
  }
  WriteByte(Stream, 0);
}

void TGIFAppExtNSLoop::LoadSubBlocks(TStream& Stream) {
  // The end of the stream anywhere in here ends the block.
  uint8_t length;
  while (TryReadByte(Stream, length) && length != 0) {
    uint8_t id;
    if (!TryReadByte(Stream, id)) return;
    switch (id & 0x07) {
      case 1: {
        if (length < 3) Error(gifmsg::InvalidData);
        uint8_t b[2];
        if (Stream.Read(b, 2) != 2) return;
        FLoops = static_cast<uint16_t>(b[0] | (b[1] << 8));
        if (!SkipBytes(Stream, length - 3)) return;
        break;
      }
      case 2: {
        if (length < 5) Error(gifmsg::InvalidData);
        uint8_t b[4];
        if (Stream.Read(b, 4) != 4) return;
        FBufferSize = static_cast<int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24));
        if (!SkipBytes(Stream, length - 5)) return;
        break;
      }
      default:
        if (!SkipBytes(Stream, length - 1)) return;
        break;
    }
  }
}
