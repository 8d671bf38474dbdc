// Every message text of the GIF subsystem, in one place. Code raises and warns
// with these constants and tests compare against them, so a typo in a text the
// user sees cannot hide in one call site.
#pragma once

namespace gifmsg {

// Errors (GIFException unless noted).
inline constexpr const char* OutOfData = "Premature end of data";
inline constexpr const char* TooManyColors = "Color table overflow";
inline constexpr const char* BadColorIndex = "Invalid color index";
inline constexpr const char* EmptyColorMap = "Color table is empty";
inline constexpr const char* BadSignature = "Invalid GIF signature";
inline constexpr const char* BadVersion = "Unsupported GIF version";
inline constexpr const char* EmptyImage = "Image is empty";
inline constexpr const char* BadPixelCoordinates = "Invalid pixel coordinates";
inline constexpr const char* UnsupportedClass = "Object type not supported for operation";
inline constexpr const char* BadWidth = "Image width too small for contained frames";
inline constexpr const char* BadHeight = "Image height too small for contained frames";
inline constexpr const char* NoColorTable = "No global or local color table defined";
inline constexpr const char* UnknownExtension = "Unknown extension type";
inline constexpr const char* BadExtensionLabel = "Invalid extension introducer";
inline constexpr const char* BadExtensionInstance =
    "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* BadAppBlockSize = "Unsupported Application Extension block size";
inline constexpr const char* InvalidData = "Invalid GIF data";
inline constexpr const char* InvalidColor = "Color not in color table";
inline constexpr const char* DecodeCircular = "Circular decoder table entry";
inline constexpr const char* InvalidReduction = "Invalid reduction method";
// EOutOfMemory: a frame's pixel buffer above the limit (kMaxFramePixels).
inline constexpr const char* ImageTooLarge = "Image is too large";
// Raised as the platform's plain Exception by the sub-block streams.
inline constexpr const char* InvalidStream = "Invalid stream operation";
// EOutOfResources when the system gives no reason.
inline constexpr const char* OutOfResources = "Out of system resources";

// Warnings (severity 1, through the document's OnWarning).
inline constexpr const char* ImageExceedsScreen = "Image exceeds Logical Screen size";
inline constexpr const char* UnknownBlockType = "Unknown GIF block type";
inline constexpr const char* BadTrailer = "Invalid Image trailer";
inline constexpr const char* DecodeUnderrun = "Decoder bit buffer under-run";
// Also warnings: OutOfData, BadColorIndex, BadExtensionLabel, BadWidth, BadHeight.

// Progress messages.
inline constexpr const char* ProgressSaving = "Saving...";
inline constexpr const char* ProgressLoading = "Loading...";
inline constexpr const char* ProgressConverting = "Converting...";
inline constexpr const char* ProgressRendering = "Rendering...";
inline constexpr const char* ProgressCopying = "Copying...";
inline constexpr const char* ProgressOptimizing = "Optimizing...";

}  // namespace gifmsg
