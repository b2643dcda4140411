// Entry point of every test binary. The add-on runs inside a host whose users
// mostly have a Polish locale, where the C library and iostreams print and read
// a decimal comma; running every test under it makes any locale-bound number
// formatting fail where it is written instead of in the field.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <locale>
#include <stdexcept>

int main(int argc, char** argv) {
    constexpr const char* kLocale = "pl_PL.UTF-8";
    try {
        if (!std::setlocale(LC_ALL, kLocale)) throw std::runtime_error("C");
        std::locale::global(std::locale(kLocale));
    } catch (const std::runtime_error&) {
        std::fprintf(stderr, "Brak lokalizacji %s - wygeneruj ja (scripts/setup).\n", kLocale);
        return 2;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
