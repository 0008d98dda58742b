// main() of the test executables that drive Qt widgets: a QApplication must exist before any
// widget, and it must outlive every test.
#include <QApplication>
#include <gtest/gtest.h>

#include <string_view>

int main(int argc, char** argv) {
    // Listing the cases (CTest's discovery) needs no display; InitGoogleTest consumes the
    // flag, so look for it first.
    bool listOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--gtest_list_tests") {
            listOnly = true;
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    if (listOnly) {
        return RUN_ALL_TESTS();
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
