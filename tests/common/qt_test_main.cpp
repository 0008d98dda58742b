// main() of the test executables that drive Qt widgets: a QApplication must exist before any
// widget, and it must outlive every test.
#include <QApplication>
#include <gtest/gtest.h>

#include <string_view>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the cases needs no display.
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--gtest_list_tests") {
            return RUN_ALL_TESTS();
        }
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
