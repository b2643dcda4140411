#pragma once
// The start of the lexicographically least rotation of a cyclic sequence, in
// linear time: two candidate starts are compared along their common run; at
// the first difference the larger one, and every start inside the compared
// run after it, can no longer be least.
#include <cstddef>
#include <vector>

namespace kl::cleanup {

template <class T>
size_t leastRotation(const std::vector<T>& s) {
    const size_t n = s.size();
    size_t a = 0, b = 1, run = 0;
    while (a < n && b < n && run < n) {
        const T& x = s[(a + run) % n];
        const T& y = s[(b + run) % n];
        if (x == y) {
            ++run;
            continue;
        }
        if (y < x)
            a += run + 1;
        else
            b += run + 1;
        if (a == b) ++b;
        run = 0;
    }
    return a < b ? a : b;
}

}  // namespace kl::cleanup
