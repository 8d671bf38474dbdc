// LZW compressor of GIF image data: greedy longest match over a string table
// of at most 4095 codes, code width growing from the code size + 1 to 12
// bits, and a clear code (table reset) as soon as code 4095 would be needed.
#pragma once

#include <array>
#include <cstdint>

#include "gif/codec/GIFEncoder.h"

// String table: open addressing with linear probing over 16384 slots, so that
// at most a quarter of them is in use (4089 strings between two clears) and a
// lookup rarely probes twice. The string "prefix code P followed by pixel C"
// has the 20-bit key P * 256 + C; a slot holds key << 12 | code, and all bits
// set marks an empty slot (no real key has all 20 bits set, since a prefix
// never exceeds 4094).
//
// The slot of a key is CodeHash[P] ^ PixelHash[C]. Each slot also keeps the
// CodeHash of the code stored in it, so when a lookup finds the string, the
// start of the next lookup is one load and one xor away: the chain from one
// pixel to the next never waits on a multiply or a division.
class THashTable {
 public:
  static constexpr int SlotCount = 16384;
  static constexpr uint32_t SlotMask = SlotCount - 1;
  static constexpr uint32_t Empty = 0xFFFFFFFFu;

  THashTable() { Reset(); }
  // Empties every slot.
  void Reset() { Keys.fill(Empty); }

  static uint32_t SlotOf(uint32_t Key) { return CodeHash[(Key >> 8) & 0xFFF] ^ PixelHash[Key & 0xFF]; }
  static uint32_t NextSlot(uint32_t Slot) { return (Slot + 1) & SlotMask; }
  void AddCode(uint32_t Key, int Code) {
    uint32_t s = SlotOf(Key);
    while (Keys[s] != Empty) s = NextSlot(s);
    Store(s, Key, Code);
  }
  // The code of Key, or -1.
  int FindCode(uint32_t Key) const {
    for (uint32_t s = SlotOf(Key);; s = NextSlot(s)) {
      const uint32_t e = Keys[s];
      if ((e >> 12) == Key) return static_cast<int>(e & 0xFFF);
      if (e == Empty) return -1;
    }
  }
  void Store(uint32_t Slot, uint32_t Key, int Code) {
    Keys[Slot] = (Key << 12) | (static_cast<uint32_t>(Code) & 0xFFF);
    Hashes[Slot] = CodeHash[static_cast<uint32_t>(Code) & 0xFFF];
  }

  // 14-bit hashes of codes and pixels (a multiplicative hash, fixed at
  // compile time).
  static const std::array<uint16_t, 4096> CodeHash;
  static const std::array<uint16_t, 256> PixelHash;

 private:
  friend class TLZWEncoder;
  std::array<uint32_t, SlotCount> Keys;
  std::array<uint16_t, SlotCount> Hashes;  // CodeHash of the code in the slot
};

class TLZWEncoder final : public TGIFEncoder {
 protected:
  void PutCode(int Code) override { EmitCode(Code); }
  void EmitClear() override;
  void EncodePixels() override;

 private:
  // Packs the code, then manages the code width.
  void EmitCode(int Code) {
    PackCode(Code);
    if (FreeCode > MaxCode || ClearPending) NextCodeWidth();
  }
  void NextCodeWidth();

  int16_t Prefix = 0;
  int16_t FreeCode = 0;
  THashTable Table;
};
