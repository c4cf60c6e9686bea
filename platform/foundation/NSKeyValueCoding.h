// Key-value coding, the small part the system uses: -valueForKey: and
// -setValue:forKey: on every object.
//
// -valueForKey: looks for a getter named get<Key>, <key>, is<Key> or _<key>
// and sends it through the runtime, boxing the result by the method's type
// encoding: objects as they are, BOOL, integers and floating-point numbers
// as NSNumber, geometry structs as NSValue. Without such a method it reads
// an instance variable named _<key>, _is<Key>, <key> or is<Key>. When
// nothing matches, -valueForUndefinedKey: raises NSUndefinedKeyException.
//
// -setValue:forKey: sends set<Key>: or _set<Key>: with the value unboxed for
// the setter's argument type (numbers through -integerValue, -doubleValue,
// -boolValue ... as the device does). nil for a scalar goes to
// -setNilValueForKey:, which raises NSInvalidArgumentException; a missing
// setter goes to -setValue:forUndefinedKey:, which raises
// NSUndefinedKeyException. Instance variables are not written.
#pragma once

#include "foundation/NSString.h"

PLATFORM_EXPORT extern NSString* const NSUndefinedKeyException;

namespace kvc {

// C++ forms of the messages (they send -valueForKey: / -setValue:forKey:
// through the runtime, so that overrides are honoured).
PLATFORM_EXPORT id valueForKey(id object, NSString* key);
PLATFORM_EXPORT void setValueForKey(id object, id value, NSString* key);
// Follows a dotted key path one -valueForKey: at a time.
PLATFORM_EXPORT id valueForKeyPath(id object, NSString* keyPath);

// Adds NSObject's key-value coding methods, and its -description, -isEqual:
// and -hash, to the root class.
PLATFORM_EXPORT void installMethods();

} // namespace kvc
