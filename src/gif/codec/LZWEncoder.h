// LZW compressor of GIF image data: greedy longest match over a string table
// of at most 4095 codes, code width growing from the code size + 1 to 12
// bits, and a clear code (table reset) as soon as code 4095 would be needed.
#pragma once

#include <array>
#include <cstdint>

#include "gif/codec/GIFEncoder.h"

// String table: open addressing over 8009 slots (a prime). A slot holds the
// key (prefix code * 256 + pixel, 20 bits) in bits 31..12 and its code in
// bits 11..0; all key bits set marks an empty slot (no real key has them,
// since a prefix never exceeds 4094).
class THashTable {
 public:
  static constexpr int SlotCount = 8009;
  static constexpr uint32_t EmptyKey = 0xFFFFF;

  THashTable() { Reset(); }
  void Reset() { Slots.fill(0xFFFFFFFFu); }
  static int SlotOf(uint32_t Key) { return static_cast<int>((Key ^ (Key >> 4)) % SlotCount); }
  // 2 * S mod 8009, and the last slot after slot 0.
  static int NextSlot(int S) {
    if (S == 0) return SlotCount - 1;
    int n = S - (SlotCount - S);
    return n < 0 ? n + SlotCount : n;
  }
  void AddCode(uint32_t Key, int Code) {
    int s = SlotOf(Key);
    while ((Slots[static_cast<size_t>(s)] >> 12) != EmptyKey) s = NextSlot(s);
    Slots[static_cast<size_t>(s)] = (Key << 12) | (static_cast<uint32_t>(Code) & 0xFFF);
  }
  // The code of Key, or -1.
  int FindCode(uint32_t Key) const {
    int s;
    return Lookup(Key, s);
  }
  // The code of Key, or -1 with Slot left on the empty slot where AddCode
  // would store it (the probe sequences are the same).
  int Lookup(uint32_t Key, int& Slot) const {
    int s = SlotOf(Key);
    for (;;) {
      uint32_t e = Slots[static_cast<size_t>(s)];
      uint32_t k = e >> 12;
      if (k == Key) return static_cast<int>(e & 0xFFF);
      if (k == EmptyKey) {
        Slot = s;
        return -1;
      }
      s = NextSlot(s);
    }
  }
  void Store(int Slot, uint32_t Key, int Code) {
    Slots[static_cast<size_t>(Slot)] = (Key << 12) | (static_cast<uint32_t>(Code) & 0xFFF);
  }

 private:
  std::array<uint32_t, SlotCount> Slots;
};

class TLZWEncoder final : public TGIFEncoder {
 protected:
  void PutCode(int Code) override;
  void EmitClear() override;
  void EncodePixels() override;

 private:
  int16_t Prefix = 0;
  int16_t FreeCode = 0;
  THashTable Table;
};
