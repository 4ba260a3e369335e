// What a copy does with what the file leaves unsaid: it refuses, and the
// document takes the rewrite, which needs none of this. Each check of the
// copy's readers and planner throws NotCopyable.
#ifndef PDFL_COPY_NOT_COPYABLE_H
#define PDFL_COPY_NOT_COPYABLE_H

#include <cstdint>
#include <string>
#include <string_view>

#include <qpdf/Types.h>

namespace pdfl {

struct NotCopyable {};

void Require(bool condition);

// A decimal integer as PDF writes it, of any length that fits.
int64_t ParseInteger(std::string_view text);
// A length or place in the file as a count of bytes in memory, which on a
// 32-bit system is the narrower of the two.
size_t Bytes(int64_t value);
int ObjectNumber(int64_t value);
qpdf_offset_t LengthOf(const std::string& bytes);

}  // namespace pdfl

#endif
