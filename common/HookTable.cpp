#include "common/HookTable.h"

void installHookTable(std::span<const HookRow> rows)
{
    for (const auto& row : rows) {
        if (row.condition && !row.condition())
            continue;
        Class cls = objc_getClass(row.className);
        SEL sel = sel_registerName(row.selector);
        if (row.kind == HookRow::Kind::Added)
            class_addMethod(cls, sel, row.implementation, row.signature().c_str());
        else
            MSHookMessageEx(cls, sel, row.implementation, row.previous);
    }
}
