#include "gif/codec/GIFStream.h"

#include <algorithm>
#include <cstring>

#include "gif/GIFMessages.h"

int64_t TGIFStream::Read(void*, int64_t) { throw Exception(gifmsg::InvalidStream); }
int64_t TGIFStream::Write(const void*, int64_t) { throw Exception(gifmsg::InvalidStream); }
int64_t TGIFStream::Seek(int64_t, TSeekOrigin) { throw Exception(gifmsg::InvalidStream); }
int64_t TGIFStream::Size() { throw Exception(gifmsg::InvalidStream); }
void TGIFStream::SetSize(int64_t) { throw Exception(gifmsg::InvalidStream); }

void TGIFStream::FlushBlock() {
  // Count byte, then the data bytes, in one write.
  FBlock[0] = static_cast<uint8_t>(FBlockFill - 1);
  int fill = FBlockFill;
  FBlockFill = 1;
  FTarget->WriteBuffer(FBlock.data(), fill);
}

TGIFWriter::~TGIFWriter() {
  try {
    Close();
  } catch (...) {
  }
}

int64_t TGIFWriter::Write(const void* Buffer, int64_t Count) {
  const uint8_t* src = static_cast<const uint8_t*>(Buffer);
  int64_t left = Count;
  while (left > 0) {
    int64_t n = std::min<int64_t>(256 - FBlockFill, left);
    std::memcpy(FBlock.data() + FBlockFill, src, static_cast<size_t>(n));
    FBlockFill += static_cast<int>(n);
    src += n;
    left -= n;
    if (FBlockFill == 256) FlushBlock();
  }
  return Count;
}

void TGIFWriter::Close() {
  if (FBlockFill > 1) FlushBlock();
}
