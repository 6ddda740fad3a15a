// The list of nodes still to visit in a walk over a tree that does not recurse.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/allocation.h"

namespace Zarvo {

// A last-in first-out list that keeps its first items in place and only the ones past them on the heap: the trees
// of most requests, responses and events are walked without a list of their own on the heap, and a tree of any depth
// or breadth still is.
template <class Item, size_t InPlace = 64>
class PendingList {
public:
    void Push(const Item& item) {
        if (count_ < InPlace && spilled_.empty()) [[likely]] items_[count_++] = item;
        else Spill(item);
    }
    bool Pop(Item& item) {
        if (!spilled_.empty()) {
            item = spilled_.back();
            spilled_.pop_back();
            return true;
        }
        if (count_ == 0) return false;
        item = items_[--count_];
        return true;
    }

private:
    [[gnu::noinline]] void Spill(const Item& item) { spilled_.push_back(item); }

    Item items_[InPlace];
    size_t count_ = 0;
    std::vector<Item, RuntimeAllocator<Item>> spilled_;
};

}  // namespace Zarvo
