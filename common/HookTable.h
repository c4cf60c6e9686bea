// A module's hook table: what it adds to and hooks on the camera's classes,
// one row a method, installed in order by one loop.
//
//   added<ln_shouldHideYellowDot>("CMKTopBar", "ln_shouldHideYellowDot"),
//   hooked<hook_updateHiddenViews>("CMKTopBar", "_updateHiddenViewsForButtonExpansionAnimated:", &orig_updateHiddenViews),
//
// Added rows go in with class_addMethod and the encoding of their
// implementation's signature on the width of the build ("B@:q" on 64-bit,
// "c@:i" on 32-bit for BOOL (NSInteger)); hooked rows with MSHookMessageEx,
// which fills the slot with the implementation the hook calls first. Results are not examined: a missing class or a refused row
// leaves that row out and the next row is installed all the same.
#pragma once

#include "runtime/message.h"
#include "runtime/substrate.h"

#include <span>
#include <string>

struct HookRow {
    enum class Kind { Added,
        Hooked };

    const char* className;
    const char* selector;
    Kind kind;
    IMP implementation;
    IMP* previous;                 // the slot for the replaced implementation (hooked rows)
    bool (*condition)() = nullptr; // installed only when this answers true
    // The encoding of the implementation's own C++ signature: what an added
    // row registers, and what a hooked row's method must have.
    std::string (*signature)() = nullptr;
};

namespace hook_detail {
template <auto Function>
struct Signature;
template <typename R, typename... A, R (*F)(id, SEL, A...)>
struct Signature<F> {
    static std::string encoding() { return definedMethodTypeEncoding<R, A...>(); }
};
}

template <auto Function>
HookRow added(const char* className, const char* selector)
{
    return { className, selector, HookRow::Kind::Added, imp_cast(Function), nullptr, nullptr,
        &hook_detail::Signature<Function>::encoding };
}

template <auto Function>
HookRow hooked(const char* className, const char* selector, IMP* previous, bool (*condition)() = nullptr)
{
    return { className, selector, HookRow::Kind::Hooked, imp_cast(Function), previous, condition,
        &hook_detail::Signature<Function>::encoding };
}

void installHookTable(std::span<const HookRow> rows);
