// Message texts of the colour conversion (bitmap access and reduction), next
// to the subsystem's others in gif/GIFMessages.h.
#pragma once

namespace gifmsg {

inline constexpr const char* UnsupportedPixelFormat = "Unsupported PixelFormat";
inline constexpr const char* BadDIBDimensions = "Invalid image dimensions";
inline constexpr const char* NoDIB = "Image has no DIB";
// EInvalidGraphicOperation.
inline constexpr const char* ScanLineOutOfRange = "Scan line index out of range";
// EOutOfMemory.
inline constexpr const char* DIBAllocationFailed = "Failed to allocate memory for GIF DIB";
// Raised by the bitmap import when the reduction settings give it nothing to read.
inline constexpr const char* BadColorReduction = "Invalid color reduction method";
inline constexpr const char* BadDitherMode = "Invalid dither mode";
inline constexpr const char* NoReductionColors = "Color reduction palette has no colors";

}  // namespace gifmsg
