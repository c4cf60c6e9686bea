// The property-list reader under libFuzzer (built with clang), and the same
// check replayed over the corpus by any compiler: see tests/CMakeLists.txt.
#include "fuzz/PropertyListCheck.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string failure = fuzzing::checkPropertyListBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!failure.empty()) {
        std::fprintf(stderr, "property list check failed: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
