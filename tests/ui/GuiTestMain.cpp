#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QtGlobal>

#include "SelvaneApplication.h"

// Real widgets on the offscreen platform, one application for all tests; the user's
// cache (the help's working copy and search index) in a folder of the test program's own.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    TSelvaneApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
