#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace touchsdk {

// Read-only bytes owned by someone else: what std::span<const uint8_t>
// would be, for a C++17 library.
class ByteView {
public:
    constexpr ByteView() = default;
    constexpr ByteView(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    template <std::size_t N>
    constexpr ByteView(const std::array<uint8_t, N>& bytes)  // NOLINT: implicit like a span
        : data_(bytes.data()), size_(N) {}

    constexpr const uint8_t* data() const { return data_; }
    constexpr std::size_t size() const { return size_; }
    constexpr bool empty() const { return size_ == 0; }
    constexpr const uint8_t* begin() const { return data_; }
    constexpr const uint8_t* end() const { return data_ + size_; }
    constexpr ByteView first(std::size_t count) const { return {data_, count}; }
    constexpr ByteView from(std::size_t offset) const { return {data_ + offset, size_ - offset}; }

private:
    const uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace touchsdk
