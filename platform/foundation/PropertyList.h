// Property lists: dictionaries, arrays, strings, numbers, booleans, data and
// dates, read from XML or binary files and written as XML.
#pragma once

#include "foundation/NSCollections.h"
#include "foundation/NSValue.h"

#include <filesystem>
#include <optional>
#include <string>

// Parses XML or binary property-list bytes; null when they are malformed.
PLATFORM_EXPORT RefPtr<Object> NSPropertyListFromBytes(std::string_view bytes);
// The XML form of a property list; empty when something in it is not a
// property-list value.
PLATFORM_EXPORT std::optional<std::string> NSPropertyListXML(Object* root);
// The binary form, for tests and tools that write what older systems wrote.
PLATFORM_EXPORT std::optional<std::string> NSPropertyListBinary(Object* root);
// A one-line rendering for traces: {enableTorch = true; torchValue = 0.5}.
PLATFORM_EXPORT std::string NSPropertyListSummary(Object* value);

// Host-file helpers behind -writeToFile:atomically: and friends.
PLATFORM_EXPORT RefPtr<Object> NSPropertyListReadHostFile(const std::filesystem::path& path);
PLATFORM_EXPORT bool NSWriteHostFile(const std::filesystem::path& path, std::string_view bytes, bool atomically);
