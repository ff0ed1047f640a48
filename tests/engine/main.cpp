#include <clocale>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Run under the user's locale (CI sets a comma locale) to catch locale-dependent numbers.
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
