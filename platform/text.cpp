#include "text.h"

#include <cwchar>
#include <utility>

namespace platform {

Text::Text(const wchar_t* text) {
    if (text) append(text, std::wcslen(text));
}

Text::Text(const wchar_t* text, std::size_t length) { append(text, length); }

Text::Text(Text&& other) noexcept
    : chars_(std::exchange(other.chars_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

Text& Text::operator=(Text other) noexcept {
    std::swap(chars_, other.chars_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    return *this;
}

Text::~Text() { delete[] chars_; }

Text Text::number(long value) {
    wchar_t digits[24];
    wchar_t* at = digits + 24;
    // In unsigned arithmetic, so that the most negative number has its digits too.
    unsigned long rest = value < 0 ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
        *--at = static_cast<wchar_t>(L'0' + rest % 10);
        rest /= 10;
    } while (rest);
    if (value < 0) *--at = L'-';
    return Text(at, static_cast<std::size_t>(digits + 24 - at));
}

Text& Text::append(const wchar_t* text, std::size_t length) {
    const std::size_t old = size_;
    resize(size_ + length);
    if (length) std::wmemcpy(chars_ + old, text, length);
    return *this;
}

Text& Text::operator+=(const wchar_t* text) { return text ? append(text, std::wcslen(text)) : *this; }

void Text::resize(std::size_t length) {
    if (length + 1 > capacity_) {
        const std::size_t capacity = length + 1 > 2 * capacity_ ? length + 1 : 2 * capacity_;
        wchar_t* grown = new wchar_t[capacity];
        if (size_) std::wmemcpy(grown, chars_, size_);
        delete[] chars_;
        chars_ = grown;
        capacity_ = capacity;
    }
    if (length > size_) std::wmemset(chars_ + size_, L'\0', length - size_);
    size_ = length;
    chars_[size_] = L'\0';
}

}  // namespace platform
