#include <gtest/gtest.h>

#include <QtGlobal>

#include "SelvaneApplication.h"

// Real widgets on the offscreen platform, one application for all tests.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    TSelvaneApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
