// Reading the application's own files: text decoding (UTF-8, with
// Windows-1252 for files from the old Windows program) and line splitting.
// Writing them goes through WriteFileAtomically (platform/FileUtils.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/Classes.h"

// Whole file as bytes; EFOpenError naming the file when it cannot be read.
std::string ReadFileBytes(const std::string& fileName);

bool IsValidUtf8(std::string_view bytes);
std::string Windows1252ToUtf8(std::string_view bytes);
// UTF-8 text of a file's bytes: a UTF-8 byte order mark is dropped; bytes that
// are not valid UTF-8 are read as Windows-1252.
std::string DecodeText(std::string_view bytes);

// Splits at CR LF, a lone CR or a lone LF. An empty text has no lines; text
// after the last break (even none) is the last line.
std::vector<std::string> SplitLines(std::string_view text);
