#pragma once

// A small test harness for the Windows adapters: they run under Wine or Windows, where GoogleTest is not
// at hand in the cross build. Each test is a function registered by WIN32_TEST; CHECK records a failure
// with its place and goes on.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace qm::win::check {

struct TestCase {
    const char* name;
    std::function<void()> body;
};

inline std::vector<TestCase>& Registry() {
    static std::vector<TestCase> tests;
    return tests;
}

inline int& Failures() {
    static int failures = 0;
    return failures;
}

struct Registrar {
    Registrar(const char* name, std::function<void()> body) { Registry().push_back({name, std::move(body)}); }
};

inline void Fail(const char* file, int line, const std::string& what) {
    ++Failures();
    std::printf("  FAILED %s:%d: %s\n", file, line, what.c_str());
}

}  // namespace qm::win::check

#define WIN32_TEST_CONCAT2(a, b) a##b
#define WIN32_TEST_CONCAT(a, b) WIN32_TEST_CONCAT2(a, b)
#define WIN32_TEST(name)                                                                        \
    static void name();                                                                         \
    static const ::qm::win::check::Registrar WIN32_TEST_CONCAT(registrar_, name)(#name, &name); \
    static void name()

#define CHECK(condition)                                            \
    do {                                                            \
        if (!(condition)) {                                         \
            ::qm::win::check::Fail(__FILE__, __LINE__, #condition); \
        }                                                           \
    } while (0)

#define CHECK_EQ(actual, expected)                                                             \
    do {                                                                                       \
        const auto& checkActual_ = (actual);                                                   \
        const auto& checkExpected_ = (expected);                                               \
        if (!(checkActual_ == checkExpected_)) {                                               \
            ::qm::win::check::Fail(__FILE__, __LINE__, std::string(#actual " == " #expected)); \
        }                                                                                      \
    } while (0)
