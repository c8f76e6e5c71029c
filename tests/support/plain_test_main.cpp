// GoogleTest entry point for the plain C++ core (no Qt).
#include <gtest/gtest.h>

#include "private_home.h"

int main(int argc, char** argv) {
    test::PrivateHome home;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
