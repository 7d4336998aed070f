// main() of the window tests: the program's own application object, so that
// what it does with an exception escaping a handler is tested too.
#include "app/orvalis_application.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    orvalis::OrvalisApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
