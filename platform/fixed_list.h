// A list with room for a fixed number of items, for what a form holds of its layout: the number
// is bounded by the layout, and the run time has no exceptions for a growing container to throw.
#pragma once

#include <cstddef>
#include <utility>

#include "runtime_error.h"

namespace platform {

template <class T, std::size_t Capacity>
class FixedList {
public:
    void push_back(T item) {
        // Its room is all the memory the list has: a layout that needs more has run out of it,
        // as an allocation that fails has.
        if (size_ == Capacity) raiseError({7, L"Out of memory", {}, {}});
        items_[size_++] = std::move(item);
    }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T& operator[](std::size_t index) { return items_[index]; }
    const T& operator[](std::size_t index) const { return items_[index]; }
    T* begin() { return items_; }
    T* end() { return items_ + size_; }
    const T* begin() const { return items_; }
    const T* end() const { return items_ + size_; }

private:
    T items_[Capacity] = {};
    std::size_t size_ = 0;
};

}  // namespace platform
