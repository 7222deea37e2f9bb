// The shared test helpers: a helper that quietly did nothing would let other tests pass on
// nothing, so what they promise is checked here.
#include <gtest/gtest.h>

#include <png.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "tests/support/test_images.h"
#include "tests/support/test_process.h"

namespace {

bool is_folder(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

TEST(SupportFiles, FreshFoldersWholeFilesAndAChildThatExits) {
    const std::string a = test_temp_folder("check"), b = test_temp_folder("check");
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_TRUE(is_folder(a));
    EXPECT_TRUE(is_folder(b));
    EXPECT_NE(a.back(), '/');

    const std::vector<uint8_t> bytes = {'a', 0, 0xFF, '\n', 'z'};
    ASSERT_TRUE(test_write_file(a + "/bin", bytes));
    EXPECT_EQ(test_read_file(a + "/bin"), std::string("a\0\xFF\nz", 5));
    ASSERT_TRUE(test_write_file(a + "/bin", std::string("short")));
    EXPECT_EQ(test_read_file(a + "/bin"), "short"); // the whole file is replaced
    EXPECT_FALSE(test_write_file(a + "/no/such/folder/f", std::string("x")));
    EXPECT_EQ(test_read_file(a + "/missing"), "");

    // A forked child that ends through exit() (a death test does) leaves the folders alone.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) std::exit(0);
    EXPECT_EQ(test_wait_child(pid), 0);
    EXPECT_TRUE(is_folder(a));
    EXPECT_EQ(test_read_file(a + "/bin"), "short");
}

TEST(SupportProcess, HoldingChildrenAndExitCodes) {
    // A child whose hold fails is reaped at once rather than waited for.
    EXPECT_EQ(test_child_holding([] { return false; }), -1);

    const pid_t pid = test_child_holding([] { return true; });
    ASSERT_GT(pid, 0);
    EXPECT_EQ(kill(pid, 0), 0); // still there, waiting
    test_kill_child(pid);
    EXPECT_NE(kill(pid, 0), 0); // ended and reaped

    const pid_t seven = fork();
    ASSERT_GE(seven, 0);
    if (seven == 0) _exit(7);
    EXPECT_EQ(test_wait_child(seven), 7);
    EXPECT_EQ(test_wait_child(-1), -1);
}

TEST(SupportImages, PngPixelsRoundTripAndBadInputIsRefused) {
    const std::vector<uint8_t> rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 8, 7, 1, 2, 3, 4, 5, 6};
    const std::vector<uint8_t> file = test_encode_png_pixels(3, 2, 3, rgb);
    ASSERT_FALSE(file.empty());
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&img, file.data(), file.size()));
    EXPECT_EQ(img.width, 3u);
    EXPECT_EQ(img.height, 2u);
    img.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> back(PNG_IMAGE_SIZE(img));
    ASSERT_TRUE(png_image_finish_read(&img, nullptr, back.data(), 0, nullptr));
    EXPECT_EQ(back, rgb);

    EXPECT_TRUE(test_encode_png_pixels(3, 2, 3, std::vector<uint8_t>(17)).empty()); // short
    EXPECT_TRUE(test_encode_png_pixels(3, 2, 5, rgb).empty());
    EXPECT_TRUE(test_encode_png_pixels(0, 2, 3, rgb).empty());
    PngSpec no_rows;
    no_rows.width = no_rows.height = 4;
    EXPECT_TRUE(test_encode_png(no_rows).empty());

    std::vector<uint8_t> grey(16 * 8);
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = uint8_t(i);
    const std::vector<uint8_t> jpeg = test_encode_jpeg(grey.data(), 16, 8, 1, 90);
    ASSERT_GE(jpeg.size(), 4u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8); // start of image
    EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);
    EXPECT_EQ(jpeg.back(), 0xD9); // end of image
}

TEST(SupportImages, ColourDistanceIsTheLargestChannelDifference) {
    EXPECT_EQ(test_color_distance(0xFF102030u, 0xFF102030u), 0);
    EXPECT_EQ(test_color_distance(0x00000000u, 0xFF000000u), 255); // alpha counts
    EXPECT_EQ(test_color_distance(0x80102030u, 0x80132A28u), 10);  // worst of 3, 10, 8
    EXPECT_EQ(test_color_distance(0x800000FFu, 0x80000000u), 255); // no borrow across channels
}
