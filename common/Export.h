// Marks the symbols a module exports (the rest of a module is hidden).
#pragma once

#define LUMORA_EXPORT __attribute__((visibility("default")))
