#pragma once
// Fixed-bound arrays of the model state: (0 To n) holds n + 1 elements and
// a subscript outside the bounds raises SubscriptError, which the model
// stages catch and turn into their error flags. Never silent memory access.
#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

namespace quor::model {

class SubscriptError : public std::out_of_range {
public:
    SubscriptError() : std::out_of_range("Subscript out of range") {}
};

template <class T, int Upper>
class BoundedArray {
public:
    static constexpr int lower = 0;
    static constexpr int upper = Upper;
    static constexpr int size = Upper + 1;

    T& operator()(int i) { return data_[check(i)]; }
    const T& operator()(int i) const { return data_[check(i)]; }
    T& operator[](int i) { return data_[check(i)]; }
    const T& operator[](int i) const { return data_[check(i)]; }

    // Erasing sets every element to zero; the bounds stay.
    void erase() { data_.fill(T{}); }
    // Sets the elements 0 to `last` (at most the upper bound) to zero: all
    // an array needs when nothing is ever written beyond `last`.
    void eraseThrough(int last) {
        std::fill(data_.begin(), data_.begin() + (std::clamp(last, -1, Upper) + 1), T{});
    }

    auto begin() { return data_.begin(); }
    auto end() { return data_.end(); }
    auto begin() const { return data_.begin(); }
    auto end() const { return data_.end(); }

private:
    static int check(int i) {
        if (i < 0 || i > Upper) throw SubscriptError();
        return i;
    }
    std::array<T, static_cast<size_t>(Upper) + 1> data_{};
};

}  // namespace quor::model
