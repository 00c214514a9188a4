// An owned string of 16-bit characters. The run time is built without C++ exceptions, and the
// standard library's strings would bring its whole exception machinery with them.
#pragma once

#include <cstddef>

namespace platform {

class Text {
public:
    Text() = default;
    Text(const wchar_t* text);  // nullptr: empty
    Text(const wchar_t* text, std::size_t length);
    Text(const Text& other) : Text(other.c_str(), other.size_) {}
    Text(Text&& other) noexcept;
    Text& operator=(Text other) noexcept;
    ~Text();

    // The decimal digits of a number.
    static Text number(long value);

    const wchar_t* c_str() const { return chars_ ? chars_ : L""; }
    wchar_t* data() { return chars_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    wchar_t back() const { return size_ ? chars_[size_ - 1] : L'\0'; }

    Text& append(const wchar_t* text, std::size_t length);
    Text& operator+=(const wchar_t* text);
    Text& operator+=(const Text& text) { return append(text.c_str(), text.size_); }
    Text& operator+=(wchar_t c) { return append(&c, 1); }
    // Room for `length` characters, for a system call to fill; then `resize` to what it wrote.
    void resize(std::size_t length);

private:
    wchar_t* chars_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

inline Text operator+(Text left, const wchar_t* right) { return left += right; }
inline Text operator+(Text left, const Text& right) { return left += right; }

}  // namespace platform
