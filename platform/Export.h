// The platform library's export macro: what the library's clients (the
// Camera, the system's libraries, the tests) may call. Everything else
// stays hidden.
#pragma once

#define PLATFORM_EXPORT __attribute__((visibility("default")))
