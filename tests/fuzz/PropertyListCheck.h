// What must hold for any bytes the property-list reader is given: it reads
// them or refuses them without harm, and what it reads is written and read
// again without a change.
#pragma once

#include "runtime/Object.h"

#include <string>
#include <string_view>

namespace fuzzing {

// Deep equality of property-list values that also tells their kinds apart
// (a boolean from an integer, an unsigned integer from a signed one) and
// counts a NaN equal to itself.
bool samePropertyList(Object* a, Object* b);

// Reads bytes; when they are a property list, writes it as a file would
// hold it, reads that again and writes it once more. Returns a description
// of what went wrong, empty when nothing did.
std::string checkPropertyListBytes(std::string_view bytes);

} // namespace fuzzing
