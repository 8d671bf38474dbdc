// The in-memory GIF document: a header (logical screen and global colour map),
// an ordered list of frames, each with its descriptor, local colour map,
// extension blocks and one colour index byte per pixel. Load and save go
// through SaveToStream/LoadFromStream (GIF87a/GIF89a byte layout).
//
//   TGIFImage doc;
//   int i = doc.Add(bitmap);                       // bitmap import, gif/color
//   auto* gce = new TGIFGraphicControlExtension(doc.Images()[i]);
//   doc.Images()[i]->Extensions().Add(gce);        // the list owns it
//   doc.SaveToFile("out.gif");
//
// Ownership is a tree: the document owns its frames and header, a frame owns
// its colour map, extensions and pixels, a list owns its items. Deleting an
// item that sits in a list takes it out of the list first, so `delete frame`
// and `Images().Delete(i)` are both safe.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gif/GIFMessages.h"
#include "platform/Classes.h"
#include "platform/Graphics.h"
#include "platform/SysUtils.h"
#include "platform/Types.h"

class TGIFImage;
class TGIFHeader;
class TGIFSubImage;
class TGIFItem;
class TGIFExtension;
class TGIFGraphicControlExtension;
class TGIFColorMap;
class TGIFGlobalColorMap;
class TGIFLocalColorMap;
class TGIFExtensionList;
class TGIFImageList;

// Every error of the GIF subsystem.
class GIFException : public EInvalidGraphic {
 public:
  explicit GIFException(std::string message) : EInvalidGraphic(std::move(message)) {}
};

// ---------------------------------------------------------------------------
// Settings and enumerations

// Colour reduction methods used when a true-colour bitmap becomes a frame.
enum TColorReduction : uint8_t {
  ReduceNone = 0,
  ReduceSystem20 = 1,
  ReduceHalftone = 2,
  ReduceGray4 = 3,
  ReduceMonochrome = 4,
  ReduceGray256 = 5,
  ReduceNetscape216 = 6,
  ReduceOctree = 7,
  ReduceOctreeSystem = 8,
  ReducePalette = 9,
};

// Dithering applied by colour reduction.
enum TDitherMode : uint8_t {
  DitherNone = 0,
  DitherFloydSteinberg = 1,
  DitherStucki = 2,
  DitherSierra = 3,
  DitherJaJuNi = 4,
  DitherSteveArche = 5,
  DitherBurkes = 6,
};

// Coder of the image data.
enum TGIFCompression : uint8_t { gcLZW = 0, gcRLE = 1 };

// Drawing and playback flags (bit numbers of DrawOptions).
enum TGIFDrawOption : uint16_t {
  doAsync = 1 << 0,
  doTransparent = 1 << 1,
  doAnimate = 1 << 2,
  doLoop = 1 << 3,
  doLoopForever = 1 << 4,
  doValidateCanvas = 1 << 5,
  doDirectDraw = 1 << 6,
  doClearOnLoop = 1 << 7,
  doTile = 1 << 8,
  doFixedPalette = 1 << 9,
  doPaletteDeviceOnly = 1 << 10,
};
using TGIFDrawOptions = uint16_t;

// Painter thread priority on the seven-step scale (0 idle .. 6 time-critical).
using TThreadPriority = uint8_t;

// Frame optimisation options (TGIFImage::Optimize).
enum TGIFOptimizeOption : uint8_t {
  foCrop = 1,
  foMerge = 2,
  foCleanup = 4,
  foColorMaps = 8,
  foReduceColors = 16,
};
using TGIFOptimizeOptions = uint8_t;

// Disposal methods of the graphic control extension (values 4..7 are kept
// as read but have no name).
enum TDisposalMethod : uint8_t { dmNone = 0, dmNoDisposal = 1, dmBackground = 2, dmPrevious = 3 };

// The initial values every new document takes.
struct TGIFImageDefaults {
  TGIFDrawOptions DrawOptions;
  TColorReduction ColorReduction;
  int32_t ReductionBits;
  TDitherMode DitherMode;
  TGIFCompression Compression;
  TThreadPriority ThreadPriority;
  int32_t AnimationSpeed;  // percent of the stored frame delays
  TColor BackgroundColor;
};

inline constexpr TGIFImageDefaults GIFImageDefaults = {
    /*DrawOptions*/ 0x060F,
    /*ColorReduction*/ ReduceNetscape216,
    /*ReductionBits*/ 8,
    /*DitherMode*/ DitherNone,
    /*Compression*/ gcLZW,
    /*ThreadPriority*/ 3,
    /*AnimationSpeed*/ 100,
    /*BackgroundColor*/ clNone,
};

// Process-wide switches of the GIF unit.
// True when the screen has at most 8 bits per pixel; a headless process has a
// true-colour "screen", so this starts false.
extern bool PaletteDevice;
// When true every frame renders its Bitmap right after it is read.
extern bool RenderOnLoad;
// When true the document optimises itself before it is streamed as a property.
extern bool OptimizeOnStream;

// ---------------------------------------------------------------------------
// Events

enum TProgressStage { psStarting = 0, psRunning = 1, psEnding = 2 };

using TProgressEvent = std::function<void(void* Sender, TProgressStage Stage, uint8_t PercentDone,
                                          bool RedrawNow, const TRect& R, const std::string& Msg)>;
using TGIFWarning = std::function<void(void* Sender, int Severity, const std::string& Message)>;

// ---------------------------------------------------------------------------
// Unit routines shared by the model and the coders

// Raises GIFException with Message.
[[noreturn]] void Error(const std::string& Message);
// Reads exactly Size bytes; fewer raise "Premature end of data".
void ReadCheck(TStream& Stream, void* Buffer, int64_t Size);
void WriteByte(TStream& Stream, uint8_t Value);
// One byte; the end of the stream reads as 0 (no signal).
uint8_t ReadByte(TStream& Stream);
// One byte, telling whether there was one.
bool TryReadByte(TStream& Stream, uint8_t& Value);
// Text lines as data sub-blocks of at most 255 bytes, then the 0 terminator.
void WriteStrings(TStream& Stream, const TStringList& Strings);
// Each sub-block becomes one line; stops at the terminator or the end of the
// stream; a short sub-block raises "Premature end of data".
void ReadStrings(TStream& Stream, TStringList& Strings);
// 0 for 0 colours, else the smallest b >= 1 with 2^b >= Colors.
int ColorsToBits(int Colors);
// Bytes of one row of Width pixels at BitsPerPixel, padded to Alignment bits.
int BytesPerScanline(int Width, int BitsPerPixel, int Alignment);
// True when a cached Bitmap exists and its palette is not Palette's entries
// (none for a null Palette): setting Palette must drop that bitmap.
bool BitmapPaletteDiffers(const TBitmap* Bitmap, const TPalette* Palette);
// Largest pixel buffer of one frame (width x height), checked before allocating.
inline constexpr int64_t kMaxFramePixels = int64_t{256} * 1024 * 1024;
// Returns Handle when non-null, else raises EOutOfResources.
void CheckHandleFailed();
template <class T>
T* CheckHandle(T* Handle) {
  if (Handle == nullptr) CheckHandleFailed();
  return Handle;
}

// ---------------------------------------------------------------------------
// Colour maps

// One colour table entry, in GIF table order.
struct TGIFColor {
  uint8_t Red;
  uint8_t Green;
  uint8_t Blue;
  friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};

// Use counts per colour index, as (count, index) pairs.
struct TColorMapHistogramEntry {
  int32_t Count;
  int32_t Index;
};
using TColorMapHistogram = std::array<TColorMapHistogramEntry, 256>;
// Old colour index to new colour index.
using TColorMapRemap = std::array<uint8_t, 256>;

// A GIF colour table of up to 256 entries. Colour values outside the map are
// TColor with red in the low byte; the high byte is ignored.
class TGIFColorMap {
 public:
  TGIFColorMap();
  virtual ~TGIFColorMap();
  TGIFColorMap(const TGIFColorMap&) = delete;
  TGIFColorMap& operator=(const TGIFColorMap&) = delete;

  // Frees the entries; Count, Capacity 0, not Optimized. No change notice.
  void Clear();
  int Count() const { return FCount; }
  int Capacity() const { return static_cast<int>(FColors.size()); }
  bool Optimized() const { return FOptimized; }
  void SetOptimized(bool Value) { FOptimized = Value; }
  int BitsPerPixel() const { return ColorsToBits(FCount); }

  // Colour of entry Index. Out of range: warning "Invalid color index", then
  // "Color table is empty" for an empty map, else entry 0.
  TColor Colors(int Index);
  // Raw entries (Count of them are in use).
  const TGIFColor* Data() const { return FColors.data(); }
  TGIFColor* Data() { return FColors.data(); }
  const TGIFColor& Entry(int Index) const { return FColors[static_cast<size_t>(Index)]; }

  // First matching entry or -1; searched from 0 when Optimized, else from the
  // last entry down (so the latest duplicate wins).
  int IndexOf(TColor Color) const;
  // Appends an entry; "Color table overflow" at 256. Returns its index.
  int Add(TColor Color);
  int AddUnique(TColor Color);
  // Removes an entry; "Invalid color index" when out of range. Pixels untouched.
  void Delete(int Index);

  void ImportPalette(const TPalette& Palette);
  void ImportPalette(const std::vector<TPaletteEntry>& Entries);
  // Table: Count entries of 4 bytes blue, green, red, reserved.
  void ImportColorTable(const void* Table, int Count);
  // The colour table of an indexed bitmap (up to 256 entries).
  void ImportDIBColors(const TBitmap& Bitmap);
  // Triples: Count entries red, green, blue, copied aside first (so they
  // may be this map's own entries).
  void ImportColors(const TGIFColor* Triples, int Count);
  // A new logical palette of the entries (flags PC_NOCOLLAPSE); null when empty.
  std::unique_ptr<TPalette> ExportPalette() const;
  void Assign(const TGIFColorMap& Source);

  // Writes the entries padded with black to a power of two (at least 2);
  // nothing for an empty map.
  void SaveToStream(TStream& Stream) const;
  // Reads exactly Count entries.
  void LoadFromStream(TStream& Stream, int Count);

  virtual void Warning(int Severity, const std::string& Message) = 0;
  // Fills entries 0..Count-1 with (use count, index) over the pixels of the
  // frames that use this map.
  virtual void BuildHistogram(TColorMapHistogram& Histogram) = 0;
  // Rewrites the pixels (and transparent index) of the frames that use this map.
  virtual void MapImages(const TColorMapRemap& Map) = 0;
  // Sorts the entries by use, most used first, dropping unused ones.
  virtual bool Optimize() = 0;
  // Drops whatever palette was built from this map.
  virtual void Changed() = 0;

 protected:
  bool DoOptimize();

 private:
  void GrowTo(int N);

  std::vector<TGIFColor> FColors;  // Capacity entries
  int FCount = 0;
  bool FOptimized = false;
};

class TGIFGlobalColorMap : public TGIFColorMap {
 public:
  explicit TGIFGlobalColorMap(TGIFHeader* Header);
  ~TGIFGlobalColorMap() override;
  TGIFHeader* Header() const { return FHeader; }
  void Warning(int Severity, const std::string& Message) override;
  void BuildHistogram(TColorMapHistogram& Histogram) override;
  void MapImages(const TColorMapRemap& Map) override;
  bool Optimize() override;
  void Changed() override;

 private:
  TGIFHeader* FHeader;
};

class TGIFLocalColorMap : public TGIFColorMap {
 public:
  explicit TGIFLocalColorMap(TGIFSubImage* SubImage);
  ~TGIFLocalColorMap() override;
  TGIFSubImage* SubImage() const { return FSubImage; }
  void Warning(int Severity, const std::string& Message) override;
  void BuildHistogram(TColorMapHistogram& Histogram) override;
  void MapImages(const TColorMapRemap& Map) override;
  bool Optimize() override;
  void Changed() override;

 private:
  TGIFSubImage* FSubImage;
};

// ---------------------------------------------------------------------------
// Items and lists

// Anything written to the stream as a unit. Knows its document (may be null).
class TGIFItem {
 public:
  explicit TGIFItem(TGIFImage* Image) : FImage(Image) {}
  virtual ~TGIFItem() = default;
  TGIFItem(const TGIFItem&) = delete;
  TGIFItem& operator=(const TGIFItem&) = delete;

  TGIFImage* Image() const { return FImage; }
  // GIF version the item needs: 1 "87a", 2 "89a".
  virtual int Version() const { return 1; }
  // Forwards to the document's Warning with this item as sender.
  virtual void Warning(int Severity, const std::string& Message);
  virtual void SaveToStream(TStream& Stream) = 0;
  virtual void LoadFromStream(TStream& Stream) = 0;
  // Writes to a temporary file beside FileName and renames it over FileName
  // only when everything was written; the old file survives any error.
  virtual void SaveToFile(const std::string& FileName);
  virtual void LoadFromFile(const std::string& FileName);

 protected:
  TGIFImage* FImage;
};

// Owning ordered list of items. Delete and Clear free; Remove hands the item
// back to the caller.
class TGIFList {
 public:
  explicit TGIFList(TGIFImage* Image) : FImage(Image) {}
  virtual ~TGIFList();
  TGIFList(const TGIFList&) = delete;
  TGIFList& operator=(const TGIFList&) = delete;

  TGIFImage* Image() const { return FImage; }
  // Bounds-checked: EListError "List index out of bounds (N)".
  TGIFItem* Items(int Index) const;
  int Count() const { return static_cast<int>(FItems.size()); }
  // Appends and takes ownership; returns the index.
  int Add(std::unique_ptr<TGIFItem> Item);
  int Add(TGIFItem* Item) { return Add(std::unique_ptr<TGIFItem>(Item)); }
  void Insert(int Index, std::unique_ptr<TGIFItem> Item);
  // Removes then frees.
  void Delete(int Index);
  // Removes without freeing: the caller owns the item afterwards.
  std::unique_ptr<TGIFItem> Remove(TGIFItem* Item);
  void Clear();
  int IndexOf(const TGIFItem* Item) const;
  void Exchange(int Index1, int Index2);
  void Move(int CurIndex, int NewIndex);

  virtual void Warning(int Severity, const std::string& Message);
  // Every item's SaveToStream in list order.
  virtual void SaveToStream(TStream& Stream);

 protected:
  // Takes an item out without freeing it (used by item destructors).
  void Detach(TGIFItem* Item);
  friend class TGIFSubImage;
  friend class TGIFExtension;

  TGIFImage* FImage;
  std::vector<TGIFItem*> FItems;
};

// The document's frames.
class TGIFImageList : public TGIFList {
 public:
  using TGIFList::TGIFList;
  TGIFSubImage* Items(int Index) const;
  TGIFSubImage* operator[](int Index) const { return Items(Index); }
  // Reads frames until the trailer, the end of the stream or an unknown block.
  void LoadFromStream(TStream& Stream, TGIFImage* Parent);
};

// One frame's extension blocks, in writing order.
class TGIFExtensionList : public TGIFList {
 public:
  using TGIFList::TGIFList;
  TGIFExtension* Items(int Index) const;
  TGIFExtension* operator[](int Index) const { return Items(Index); }
  // Reads blocks until one does not start with 0x21.
  void LoadFromStream(TStream& Stream, TGIFSubImage* Parent);
};

// ---------------------------------------------------------------------------
// Header: signature, logical screen descriptor, global colour map

class TGIFHeader : public TGIFItem {
 public:
  explicit TGIFHeader(TGIFImage* Image);
  ~TGIFHeader() override;

  void Assign(const TGIFHeader& Source);
  void Assign(const TGIFColorMap& Source);
  void SaveToStream(TStream& Stream) override;
  void LoadFromStream(TStream& Stream) override;
  // Recomputes the packed fields from the document's maps.
  void Prepare();
  // Zeroes the descriptor and clears the global map.
  void Clear();

  int Width() const { return FWidth; }
  void SetWidth(int Value) { FWidth = static_cast<uint16_t>(Value); }
  int Height() const { return FHeight; }
  void SetHeight(int Value) { FHeight = static_cast<uint16_t>(Value); }
  uint8_t PackedFields() const { return FPacked; }
  void SetPackedFields(uint8_t Value) { FPacked = Value; }
  uint8_t BackgroundColorIndex() const { return FBackgroundColorIndex; }
  void SetBackgroundColorIndex(uint8_t Value) { FBackgroundColorIndex = Value; }
  uint8_t AspectRatio() const { return FAspectRatio; }
  void SetAspectRatio(uint8_t Value) { FAspectRatio = Value; }
  // Entry BackgroundColorIndex of the global map (warns when out of range).
  TColor BackgroundColor();
  TGIFGlobalColorMap& ColorMap() { return *FColorMap; }
  const TGIFGlobalColorMap& ColorMap() const { return *FColorMap; }
  int BitsPerPixel() const;
  int ColorResolution() const;

 private:
  // Logical screen descriptor, as in the file.
  uint16_t FWidth = 0;
  uint16_t FHeight = 0;
  uint8_t FPacked = 0;
  uint8_t FBackgroundColorIndex = 0;
  uint8_t FAspectRatio = 0;
  std::unique_ptr<TGIFGlobalColorMap> FColorMap;
};

// ---------------------------------------------------------------------------
// Frame

class TGIFSubImage : public TGIFItem {
 public:
  explicit TGIFSubImage(TGIFImage* Image);
  // Leaves the document's Images first.
  ~TGIFSubImage() override;

  int Version() const override;
  void SaveToStream(TStream& Stream) override;
  void LoadFromStream(TStream& Stream) override;
  // Recomputes the descriptor's packed fields.
  void Prepare();
  // Frees extensions, colours, pixels, caches; size 0.
  void Clear();

  // Descriptor. The setters go through SetBounds.
  int Left() const { return FLeft; }
  void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
  int Top() const { return FTop; }
  void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
  int Width() const { return FWidth; }
  void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
  int Height() const { return FHeight; }
  void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
  TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
  // Stores all four; a changed size re-creates the pixels (zeros); grows the
  // document's logical screen when needed, with warnings after the first frame.
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  uint8_t PackedFields() const { return FPacked; }
  bool Interlaced() const { return (FPacked & 0x40) != 0; }
  void SetInterlaced(bool Value);

  TGIFLocalColorMap& ColorMap() { return *FColorMap; }
  const TGIFLocalColorMap& ColorMap() const { return *FColorMap; }
  // Local map when it has colours, else the global map when it has colours,
  // else the (empty) local map.
  TGIFColorMap& ActiveColorMap();
  int BitsPerPixel() const { return FColorMap->BitsPerPixel(); }
  int ColorResolution() const { return BitsPerPixel() - 1; }

  bool Empty() const { return !FData || FDataSize == 0 || FWidth == 0 || FHeight == 0; }
  // Colour index at (X, Y); "Invalid pixel coordinates" outside the frame.
  uint8_t Pixels(int X, int Y);
  void SetPixels(int X, int Y, uint8_t Value);
  uint8_t* Scanline(int Y);
  // Pixel buffer: Width x Height bytes, top row first, no padding.
  uint8_t* Data() { return FData.get(); }
  const uint8_t* Data() const { return FData.get(); }
  int DataSize() const { return FDataSize; }
  // Creates the buffer when missing; "Image is empty" for a 0-size frame.
  void NeedImage();
  // (Re)allocates Width x Height zero bytes.
  void NewImage();
  void FreeImage();

  TGIFExtensionList& Extensions() { return *FExtensions; }
  const TGIFExtensionList& Extensions() const { return *FExtensions; }
  // True while a graphic control extension with the transparent flag exists.
  bool Transparent() const { return FTransparent; }
  // The first graphic control extension made for this frame (not owned).
  TGIFGraphicControlExtension* GraphicControlExtension() const { return FGraphicControlExtension; }

  // Caches.
  bool HasBitmap() const { return FBitmap != nullptr; }
  // True renders the Bitmap now, false drops it.
  void SetHasBitmap(bool Value);
  void NewBitmap();
  void FreeBitmap();
  TBitmap* Mask() const { return FMask.get(); }
  bool NeedMask() const { return FNeedMask; }
  void FreeMask();
  // Rebuilds the bitmap (and with it the mask) when the mask is stale.
  bool HasMask();
  // The bitmap's palette, else the cached one, else the fixed cube or the
  // local map's palette, else the document's. Owned by the frame; valid until
  // the frame's colours or bitmap change. Null when there is none.
  const TPalette* Palette();
  void SetPalette(std::unique_ptr<TPalette> Value);

  // Deep copy of another frame (pixels, colours, extensions, bitmap).
  void Assign(const TGIFSubImage* Source);

  // --- Bitmap import and rendering: defined in gif/color/.
  // Replaces the frame's content with the bitmap, colour-reduced by the
  // document's settings when it is not 1, 4 or 8 bits per pixel.
  void Assign(const TBitmap& Source);
  // The frame rendered (built on first use, then cached); null when empty.
  TBitmap* Bitmap();
  // Pixels whose mask pixel is non-zero become transparent.
  void ApplyMask(const TBitmap& Mask);

  // --- Frame optimisation: defined in gif/optimize/.
  void MergeFrame(TGIFSubImage* Below);
  void CropFrame();
  int PickTransparentIndex();
  bool CanAddColor();

 private:
  friend class TGIFGraphicControlExtension;
  friend class TGIFImage;

  // Reads the image data that follows the descriptor and local table into
  // the pixel buffer. The one place where the decoder plugs in.
  void ReadImageData(TStream& Stream);
  // Writes code size, sub-blocks and terminator with the document's coder.
  void WriteImageData(TStream& Stream);

  std::unique_ptr<TBitmap> FBitmap;
  std::unique_ptr<TBitmap> FMask;
  bool FNeedMask = true;
  std::unique_ptr<TPalette> FPalette;
  std::unique_ptr<TPalette> FBitmapPalette;  // copy of the bitmap's colour table
  std::unique_ptr<uint8_t[]> FData;
  int FDataSize = 0;
  std::unique_ptr<TGIFLocalColorMap> FColorMap;
  // Image descriptor, as in the file (the separator is always 0x2C).
  uint16_t FLeft = 0;
  uint16_t FTop = 0;
  uint16_t FWidth = 0;
  uint16_t FHeight = 0;
  uint8_t FPacked = 0;
  std::unique_ptr<TGIFExtensionList> FExtensions;
  bool FTransparent = false;
  TGIFGraphicControlExtension* FGraphicControlExtension = nullptr;
};

// The one-byte end marker; made for the duration of a save or load.
class TGIFTrailer : public TGIFItem {
 public:
  using TGIFItem::TGIFItem;
  void SaveToStream(TStream& Stream) override;
  void LoadFromStream(TStream& Stream) override;
};

// ---------------------------------------------------------------------------
// Extension blocks

// A class reference for extensions: how to make one, and which class should
// read a block whose label has been seen.
struct TGIFExtensionClass {
  const char* Name;
  TGIFExtension* (*Create)(TGIFSubImage* SubImage);
  // Given a stream just after the label byte, the class that should read the
  // block: itself, another class, or null. May read; the caller restores the
  // position.
  const TGIFExtensionClass* (*ResolveClass)(TStream& Stream);
};

class TGIFExtension : public TGIFItem {
 public:
  explicit TGIFExtension(TGIFSubImage* SubImage);
  // Leaves the frame's Extensions first.
  ~TGIFExtension() override;

  int Version() const override { return 2; }
  TGIFSubImage* SubImage() const { return FSubImage; }
  virtual uint8_t ExtensionType() const = 0;
  virtual const TGIFExtensionClass& ClassType() const = 0;
  // Writes the introducer 0x21 and the label.
  void SaveToStream(TStream& Stream) override;
  // Reads and checks the introducer and the label.
  void LoadFromStream(TStream& Stream) override;

  // The class that reads the block at Stream (positioned at the 0x21 already
  // consumed, i.e. at the label); the position is restored. Null when none.
  static const TGIFExtensionClass* FindExtension(TStream& Stream);

 protected:
  TGIFSubImage* FSubImage;
};

// Frame delay, transparency and disposal.
class TGIFGraphicControlExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass Class;
  explicit TGIFGraphicControlExtension(TGIFSubImage* SubImage);
  ~TGIFGraphicControlExtension() override;
  uint8_t ExtensionType() const override { return 0xF9; }
  const TGIFExtensionClass& ClassType() const override { return Class; }
  void SaveToStream(TStream& Stream) override;
  void LoadFromStream(TStream& Stream) override;

  // Hundredths of a second.
  uint16_t Delay() const { return FDelay; }
  void SetDelay(uint16_t Value) { FDelay = Value; }
  bool Transparent() const { return (FPacked & 0x01) != 0; }
  void SetTransparent(bool Value);
  uint8_t TransparentColorIndex() const { return FTransparentColorIndex; }
  // An index not below the active map's Count (when it has colours) warns
  // "Invalid color index" and stores 0.
  void SetTransparentColorIndex(int Value);
  TDisposalMethod Disposal() const { return static_cast<TDisposalMethod>((FPacked >> 2) & 0x07); }
  void SetDisposal(TDisposalMethod Value);
  bool UserInput() const { return (FPacked & 0x02) != 0; }
  void SetUserInput(bool Value);
  uint8_t PackedFields() const { return FPacked; }

 private:
  // The six bytes after the label.
  uint8_t FBlockSize = 4;
  uint8_t FPacked = 0;
  uint16_t FDelay = 0;
  uint8_t FTransparentColorIndex = 0;
  uint8_t FTerminator = 0;
};

// Plain text extension: a text grid and its lines.
class TGIFTextExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass Class;
  explicit TGIFTextExtension(TGIFSubImage* SubImage);
  uint8_t ExtensionType() const override { return 0x01; }
  const TGIFExtensionClass& ClassType() const override { return Class; }
  void SaveToStream(TStream& Stream) override;
  void LoadFromStream(TStream& Stream) override;

  TStringList& Text() { return FText; }
  int Left() const { return FLeft; }
  void SetLeft(int Value) { FLeft = static_cast<uint16_t>(Value); }
  int Top() const { return FTop; }
  void SetTop(int Value) { FTop = static_cast<uint16_t>(Value); }
  int GridWidth() const { return FGridWidth; }
  void SetGridWidth(int Value) { FGridWidth = static_cast<uint16_t>(Value); }
  int GridHeight() const { return FGridHeight; }
  void SetGridHeight(int Value) { FGridHeight = static_cast<uint16_t>(Value); }
  uint8_t CharWidth() const { return FCharWidth; }
  void SetCharWidth(uint8_t Value) { FCharWidth = Value; }
  uint8_t CharHeight() const { return FCharHeight; }
  void SetCharHeight(uint8_t Value) { FCharHeight = Value; }
  uint8_t ForegroundColorIndex() const { return FForegroundColorIndex; }
  void SetForegroundColorIndex(uint8_t Value) { FForegroundColorIndex = Value; }
  uint8_t BackgroundColorIndex() const { return FBackgroundColorIndex; }
  void SetBackgroundColorIndex(uint8_t Value) { FBackgroundColorIndex = Value; }

 private:
  TStringList FText;
  // The thirteen bytes after the label.
  uint8_t FBlockSize = 12;
  uint16_t FLeft = 0;
  uint16_t FTop = 0;
  uint16_t FGridWidth = 0;
  uint16_t FGridHeight = 0;
  uint8_t FCharWidth = 0;
  uint8_t FCharHeight = 0;
  uint8_t FForegroundColorIndex = 0;
  uint8_t FBackgroundColorIndex = 0;
};

class TGIFCommentExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass Class;
  explicit TGIFCommentExtension(TGIFSubImage* SubImage) : TGIFExtension(SubImage) {}
  uint8_t ExtensionType() const override { return 0xFE; }
  const TGIFExtensionClass& ClassType() const override { return Class; }
  void SaveToStream(TStream& Stream) override;
  void LoadFromStream(TStream& Stream) override;
  TStringList& Text() { return FText; }

 private:
  TStringList FText;
};

using TGIFApplicationIdentifier = std::array<uint8_t, 11>;

// Application block: an 8-byte identifier plus 3-byte authentication code,
// then sub-blocks written by the subclass.
class TGIFApplicationExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass Class;
  explicit TGIFApplicationExtension(TGIFSubImage* SubImage) : TGIFExtension(SubImage) {}
  uint8_t ExtensionType() const override { return 0xFF; }
  const TGIFExtensionClass& ClassType() const override { return Class; }
  void SaveToStream(TStream& Stream) override;
  void LoadFromStream(TStream& Stream) override;

  const TGIFApplicationIdentifier& Identifier() const { return FIdentifier; }
  // The first 11 bytes of Value, zero-padded.
  void SetIdentifier(const std::string& Value);
  std::string IdentifierString() const;

  virtual void SaveSubBlocks(TStream& Stream);
  virtual void LoadSubBlocks(TStream& Stream);

 protected:
  TGIFApplicationIdentifier FIdentifier{};
};

// One raw data sub-block of an application block we do not know.
class TGIFBlock {
 public:
  explicit TGIFBlock(uint8_t Size) : FData(Size, 0) {}
  uint8_t Size() const { return static_cast<uint8_t>(FData.size()); }
  uint8_t* Data() { return FData.data(); }
  const uint8_t* Data() const { return FData.data(); }
  void SaveToStream(TStream& Stream) const;
  void LoadFromStream(TStream& Stream);

 private:
  std::vector<uint8_t> FData;
};

// Application block of an identifier without a registered class; its data
// sub-blocks are kept byte for byte.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
 public:
  static const TGIFExtensionClass Class;
  explicit TGIFUnknownAppExtension(TGIFSubImage* SubImage) : TGIFApplicationExtension(SubImage) {}
  const TGIFExtensionClass& ClassType() const override { return Class; }
  void SaveSubBlocks(TStream& Stream) override;
  void LoadSubBlocks(TStream& Stream) override;
  std::vector<std::unique_ptr<TGIFBlock>>& Blocks() { return FBlocks; }

 private:
  std::vector<std::unique_ptr<TGIFBlock>> FBlocks;
};

// The looping block ("NETSCAPE2.0", also read from "ANIMEXTS1.0").
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
 public:
  static const TGIFExtensionClass Class;
  explicit TGIFAppExtNSLoop(TGIFSubImage* SubImage);
  const TGIFExtensionClass& ClassType() const override { return Class; }
  void SaveSubBlocks(TStream& Stream) override;
  void LoadSubBlocks(TStream& Stream) override;

  // 0 = loop forever.
  uint16_t Loops() const { return FLoops; }
  void SetLoops(uint16_t Value) { FLoops = Value; }
  // 0 = not written.
  int32_t BufferSize() const { return FBufferSize; }
  void SetBufferSize(int32_t Value) { FBufferSize = Value; }

 private:
  uint16_t FLoops = 0;
  int32_t FBufferSize = 0;
};

// Registry: label byte to extension class. Find searches the latest entry first.
class TExtensionList {
 public:
  void Add(uint8_t Label, const TGIFExtensionClass* Class);
  const TGIFExtensionClass* Find(uint8_t Label) const;

 private:
  std::vector<std::pair<uint8_t, const TGIFExtensionClass*>> FEntries;
};

// Registry: 11-byte application identifier to class.
class TAppExtensionList {
 public:
  void Add(const std::string& Identifier, const TGIFExtensionClass* Class);
  const TGIFExtensionClass* Find(const uint8_t* Identifier) const;

 private:
  std::vector<std::pair<TGIFApplicationIdentifier, const TGIFExtensionClass*>> FEntries;
};

// The process-wide registries, made on first use with the built-in classes.
TExtensionList& ExtensionRegistry();
TAppExtensionList& AppExtensionRegistry();

// ---------------------------------------------------------------------------
// The document

class TGIFImage {
 public:
  TGIFImage();
  virtual ~TGIFImage();
  TGIFImage(const TGIFImage&) = delete;
  TGIFImage& operator=(const TGIFImage&) = delete;

  // Frees frames and caches, empties the global map, screen size 0. The
  // background colour index and aspect ratio stay.
  void Clear();
  // A new frame converted from the bitmap (defined with the bitmap import);
  // returns its index. On a conversion error the frame is freed.
  int Add(const TBitmap& Source);
  // Takes the frame over unchanged; returns its index.
  int Add(std::unique_ptr<TGIFSubImage> Source);
  int Add(TGIFSubImage* Source) { return Add(std::unique_ptr<TGIFSubImage>(Source)); }

  TGIFImageList& Images() { return *FImages; }
  const TGIFImageList& Images() const { return *FImages; }
  TGIFHeader& Header() { return *FHeader; }
  const TGIFHeader& Header() const { return *FHeader; }
  TGIFGlobalColorMap& GlobalColorMap() { return FHeader->ColorMap(); }

  // Logical screen size. The setters refuse a size smaller than a frame's extent.
  int Width() const { return FHeader->Width(); }
  void SetWidth(int Value);
  int Height() const { return FHeader->Height(); }
  void SetHeight(int Value);

  bool Empty() const { return FImages->Count() == 0; }
  bool Equals(const TGIFImage* Other) const { return Other == this; }
  // Highest version of the frames; 0 without frames.
  int Version() const;
  int BitsPerPixel() const;
  int ColorResolution() const;

  // Document palette (cached; owned by the document). Raises "No global or
  // local color table defined" for a document without any colours.
  const TPalette* Palette();
  void SetPalette(std::unique_ptr<TPalette> Value);
  bool UsesFixedPalette() const;
  bool PaletteModified() const { return FPaletteModified; }
  void SetPaletteModified(bool Value) { FPaletteModified = Value; }

  void SaveToStream(TStream& Stream);
  // Starts with Clear; on an error the stream goes back to where it was.
  void LoadFromStream(TStream& Stream);
  // Atomic: a temporary file beside FileName is renamed over it at the end.
  void SaveToFile(const std::string& FileName);
  void LoadFromFile(const std::string& FileName);

  // Calls OnWarning when set.
  virtual void Warning(void* Sender, int Severity, const std::string& Message);
  // Fires OnChange.
  void Changed();
  // Fires OnProgress with the empty rectangle.
  void Progress(void* Sender, TProgressStage Stage, int PercentDone, bool RedrawNow,
                const std::string& Msg);

  // The whole logical screen as a bitmap (frame 0 drawn at its place);
  // cached, null for an empty document. Uses the frames' Bitmap.
  TBitmap* Bitmap();
  void FreeBitmap();
  // Copies Bitmap() into Dest.
  void AssignTo(TBitmap& Dest);
  // Deep copy of another document; null clears.
  void Assign(const TGIFImage* Source);

  // --- Optimisation: defined in gif/optimize/.
  void Optimize(TGIFOptimizeOptions Options, TColorReduction ReductionMethod, TDitherMode DitherMode,
                int ReductionBits);
  void OptimizeColorMaps();

  // Playback painters do not exist in this program; these keep the place
  // where operations that change frames stop them and hold their lock.
  void StopDraw() {}
  std::recursive_mutex& PainterLock() { return FPainterLock; }

  // Settings.
  TGIFDrawOptions DrawOptions() const { return FDrawOptions; }
  void SetDrawOptions(TGIFDrawOptions Value) { FDrawOptions = Value; }
  TColorReduction ColorReduction() const { return FColorReduction; }
  void SetColorReduction(TColorReduction Value) { FColorReduction = Value; }
  int ReductionBits() const { return FReductionBits; }
  void SetReductionBits(int Value) { FReductionBits = Value; }
  TDitherMode DitherMode() const { return FDitherMode; }
  void SetDitherMode(TDitherMode Value) { FDitherMode = Value; }
  TGIFCompression Compression() const { return FCompression; }
  void SetCompression(TGIFCompression Value) { FCompression = Value; }
  TThreadPriority ThreadPriority() const { return FThreadPriority; }
  void SetThreadPriority(TThreadPriority Value) { FThreadPriority = Value; }
  int AnimationSpeed() const { return FAnimationSpeed; }
  void SetAnimationSpeed(int Value) { FAnimationSpeed = Value; }
  TColor BackgroundColor() const { return FBackgroundColor; }
  void SetBackgroundColor(TColor Value) { FBackgroundColor = Value; }

  TGIFWarning OnWarning;
  TProgressEvent OnProgress;
  TNotifyEvent OnChange;

 private:
  bool FDrawing = false;
  bool FResolvingPalette = false;
  bool FPaletteModified = false;
  std::unique_ptr<TGIFImageList> FImages;
  std::unique_ptr<TGIFHeader> FHeader;
  std::unique_ptr<TPalette> FPalette;
  std::unique_ptr<TPalette> FBitmapPalette;  // copy of the cached bitmap's colour table
  std::recursive_mutex FPainterLock;
  TGIFDrawOptions FDrawOptions;
  TColorReduction FColorReduction;
  int32_t FReductionBits;
  TDitherMode FDitherMode;
  TGIFCompression FCompression;
  TThreadPriority FThreadPriority;
  int32_t FAnimationSpeed;
  TColor FBackgroundColor;
  std::unique_ptr<TBitmap> FBitmap;
};
