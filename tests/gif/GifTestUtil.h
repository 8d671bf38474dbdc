// Small helpers shared by the document model tests: byte buffers, streams,
// a warning collector and frame construction.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "gif/GIFImage.h"

namespace giftest {

using Bytes = std::vector<uint8_t>;

inline Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes StreamBytes(TMemoryStream& s) { return Bytes(s.Memory(), s.Memory() + s.Size()); }

inline void Fill(TMemoryStream& s, const Bytes& b) {
  s.Clear();
  if (!b.empty()) s.WriteBuffer(b.data(), static_cast<int64_t>(b.size()));
  s.SetPosition(0);
}

inline Bytes SaveBytes(TGIFImage& doc) {
  TMemoryStream s;
  doc.SaveToStream(s);
  return StreamBytes(s);
}

// Collects every warning of a document as (sender, message).
struct Warnings {
  std::vector<std::pair<void*, std::string>> List;
  explicit Warnings(TGIFImage& doc) {
    doc.OnWarning = [this](void* sender, int severity, const std::string& msg) {
      EXPECT_EQ(severity, 1);
      List.emplace_back(sender, msg);
    };
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> m;
    for (const auto& w : List) m.push_back(w.second);
    return m;
  }
};

// A frame of w x h at (left, top) with the given local colours (none: uses
// the global map) and pixels, appended to doc. Returns the frame.
inline TGIFSubImage* AddFrame(TGIFImage& doc, int w, int h, const std::vector<TColor>& colors,
                              const Bytes& pixels = {}, int left = 0, int top = 0) {
  auto frame = std::make_unique<TGIFSubImage>(&doc);
  frame->SetBounds(left, top, w, h);
  for (TColor c : colors) frame->ColorMap().Add(c);
  if (!pixels.empty()) std::copy(pixels.begin(), pixels.end(), frame->Data());
  TGIFSubImage* raw = frame.get();
  doc.Add(std::move(frame));
  return raw;
}

// Expects fn to raise an exception of type E whose message is want.
template <class E, class Fn>
void ExpectError(Fn fn, const std::string& want) {
  try {
    fn();
    ADD_FAILURE() << "no exception, want \"" << want << "\"";
  } catch (const E& e) {
    EXPECT_EQ(e.Message(), want);
  }
}

}  // namespace giftest
