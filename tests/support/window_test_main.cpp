// A test runner starts as the program does: the window services' application made once, before
// any test uses them.
#include <gtest/gtest.h>

#include "platform/qtwindow/application.h"

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    qtwindow::start_application();
    return RUN_ALL_TESTS();
}
