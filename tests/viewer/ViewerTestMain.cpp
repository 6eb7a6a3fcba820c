#include <gtest/gtest.h>

#include <QApplication>
#include <QtGlobal>

// Paint boxes are widgets: one application for all tests, on the offscreen platform.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
