#include "item.h"

#include "arena.h"

#include <algorithm>
#include <new>

Item *Item::create(Arena &arena, QStringView text)
{
    return create(arena.allocate(allocationSize(text.size()), alignof(Item)), text);
}

Item *Item::create(void *memory, QStringView text)
{
    auto *item = new (memory) Item{text.size(), nullptr};
    std::copy(text.utf16(), text.utf16() + text.size(), reinterpret_cast<char16_t *>(item + 1));
    return item;
}
