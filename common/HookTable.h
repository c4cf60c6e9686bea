// A module's hook table: what it adds to and hooks on the camera's classes,
// one row a method, installed in order by one loop.
//
//   added("CMKTopBar", "ln_shouldHideYellowDot", "B@:", ln_shouldHideYellowDot),
//   hooked<hook_updateHiddenViews>("CMKTopBar", "_updateHiddenViewsForButtonExpansionAnimated:", &orig_updateHiddenViews),
//
// Added rows go in with class_addMethod and their encoding; hooked rows with
// MSHookMessageEx, which fills the slot with the implementation the hook
// calls first. Results are not examined: a missing class or a refused row
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
    const char* types; // the encoding handed to class_addMethod (added rows)
    IMP implementation;
    IMP* previous;                 // the slot for the replaced implementation (hooked rows)
    bool (*condition)() = nullptr; // installed only when this answers true
    // The encoding of the implementation's own C++ signature, for checks.
    std::string (*signature)() = nullptr;
};

namespace hook_detail {
template <auto Function>
struct Signature;
template <typename R, typename... A, R (*F)(id, SEL, A...)>
struct Signature<F> {
    static std::string encoding() { return methodTypeEncoding<R, A...>(); }
};
}

template <auto Function>
HookRow added(const char* className, const char* selector, const char* types)
{
    return { className, selector, HookRow::Kind::Added, types, imp_cast(Function), nullptr, nullptr,
        &hook_detail::Signature<Function>::encoding };
}

template <auto Function>
HookRow hooked(const char* className, const char* selector, IMP* previous, bool (*condition)() = nullptr)
{
    return { className, selector, HookRow::Kind::Hooked, nullptr, imp_cast(Function), previous, condition,
        &hook_detail::Signature<Function>::encoding };
}

void installHookTable(std::span<const HookRow> rows);
