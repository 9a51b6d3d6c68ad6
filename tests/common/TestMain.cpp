// Entry point of every test program: COM for this thread, then GoogleTest.
#include <gtest/gtest.h>

#include "win/Com.h"

int main(int argc, char** argv) {
    kw::ComApartment com;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
