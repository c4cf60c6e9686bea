// Property lists: dictionaries, arrays, strings, numbers, booleans, data,
// dates and keyed-archive UIDs, read from XML, binary or OpenStep text and
// written as XML (or binary, for values XML cannot hold exactly).
#pragma once

#include "foundation/NSCollections.h"
#include "foundation/NSValue.h"

#include <filesystem>
#include <optional>
#include <string>

// Parses property-list bytes in any form the platform reads: XML (UTF-8,
// with or without a byte-order mark, or UTF-16), binary, or OpenStep text.
// Null when they are malformed.
PLATFORM_EXPORT RefPtr<Object> NSPropertyListFromBytes(std::string_view bytes);
// The XML form of a property list; nothing when something in it is not a
// property-list value, or is a value XML cannot hold exactly or in a form
// other readers take (a date with a fraction of a second or outside the
// years 1 to 9999, text with a character XML does not allow).
PLATFORM_EXPORT std::optional<std::string> NSPropertyListXML(Object* root);
// The binary form, which holds every value exactly.
PLATFORM_EXPORT std::optional<std::string> NSPropertyListBinary(Object* root);
// What -writeToFile:atomically: writes: the XML form when it holds every
// value exactly, else the binary form, so that nothing read is changed by
// writing it back.
PLATFORM_EXPORT std::optional<std::string> NSPropertyListFileBytes(Object* root);
// A one-line rendering for traces: {enableTorch = true; torchValue = 0.5}.
PLATFORM_EXPORT std::string NSPropertyListSummary(Object* value);

// Host-file helpers behind -writeToFile:atomically: and friends.
//
// Reads a property list from a regular file only: anything else at the
// path (a folder, a FIFO, a device) is opened without blocking and refused.
PLATFORM_EXPORT RefPtr<Object> NSPropertyListReadHostFile(const std::filesystem::path& path);
// An atomic write goes through a temporary beside the target, named after
// it ("com.QV.Lumora.plist.a8Kd2Q.saving"), that is synced and renamed
// over the target. The writer holds a lock on its temporary while it
// lives; a process's first write of a target removes the temporaries of
// the same target that no writer holds any more (left behind by a writer
// that was killed).
PLATFORM_EXPORT bool NSWriteHostFile(const std::filesystem::path& path, std::string_view bytes, bool atomically);
