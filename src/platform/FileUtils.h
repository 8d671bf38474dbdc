// Writing a file so that a failure never destroys the one already there: the
// bytes go into a temporary file in the target's folder, which is renamed over
// the target only at the end. Used for documents, GIFs and flip files alike.
#pragma once

#include <functional>
#include <string>

#include "platform/Classes.h"

// Writes `fileName` through `write` into a temporary file beside it and renames
// that over the target only when `write` returned normally and `commit` (when
// given) agrees; otherwise the temporary file is removed and the old file is
// untouched. The new file keeps the mode of the file it replaces; a symbolic
// link keeps pointing at the file it names, which is the one replaced. Errors
// raise EFCreateError / EWriteError naming the target.
void WriteFileAtomically(const std::string& fileName, const std::function<void(TStream&)>& write,
                         const std::function<bool()>& commit = {});
