#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/folders.h"
#include "platform/textfile.h"
#include "test_support.h"

using namespace quor::platform;

TEST(TextFiles, WriterEndsLinesWithCrLfAndReaderAcceptsAnyEnd) {
    quor::test::TempDir dir;
    const std::string path = dir.file("a.txt");
    writeTextLines(path, {"one", "", "three"});
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(), "one\r\n\r\nthree\r\n");
    EXPECT_EQ(readTextLines(path), (std::vector<std::string>{"one", "", "three"}));

    std::ofstream(dir.file("b.txt"), std::ios::binary) << "x\ny\rz";
    EXPECT_EQ(readTextLines(dir.file("b.txt")), (std::vector<std::string>{"x", "y", "z"}));
}

TEST(TextFiles, FailuresAreReported) {
    EXPECT_THROW(TextWriter("/nonexistent-folder/x.txt"), FileError);
    EXPECT_THROW(readTextLines("/nonexistent-folder/x.txt"), FileError);
}

TEST(Folders, IsDirIgnoresBlanksAndRejectsFiles) {
    quor::test::TempDir dir;
    EXPECT_TRUE(IsDir(dir.path()));
    EXPECT_TRUE(IsDir(dir.path() + "   "));
    EXPECT_TRUE(IsDir(dir.path() + "/"));
    writeTextLines(dir.file("f.txt"), {"x"});
    EXPECT_FALSE(IsDir(dir.file("f.txt")));
    EXPECT_FALSE(IsDir(dir.file("missing")));
}

TEST(Folders, CreateFolderMakesOneLevelOnly) {
    quor::test::TempDir dir;
    EXPECT_TRUE(createFolder(dir.file("a")));
    EXPECT_TRUE(IsDir(dir.file("a")));
    EXPECT_TRUE(createFolder(dir.file("b") + "/"));
    EXPECT_TRUE(IsDir(dir.file("b")));
    EXPECT_FALSE(createFolder(dir.file("x/y")));
    EXPECT_FALSE(IsDir(dir.file("x")));
}
