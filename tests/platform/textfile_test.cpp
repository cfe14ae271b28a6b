#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
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

TEST(TextFiles, WhatCannotBeATextFileIsRefusedBeforeItIsRead) {
    quor::test::TempDir dir;
    const std::string fifo = dir.file("x.Wind_REI");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir.file("folder.Wind_RWE");
    std::filesystem::create_directory(folder);
    const std::string huge = dir.file("huge.Wind_RWE");
    std::ofstream(huge).close();
    std::filesystem::resize_file(huge, 300u * 1024 * 1024);  // sparse: no disk is spent

    for (const std::string& path : {fifo, folder, huge}) {
        SCOPED_TRACE(path);
        auto reading = std::async(std::launch::async, [&] {
            try {
                readTextLines(path);
            } catch (const FileError& e) {
                return std::string(e.what());
            }
            return std::string("read");
        });
        if (reading.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
            ADD_FAILURE() << "still reading after 2 s";
            // A reader waiting on the pipe gets its end of file.
            ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        }
        const std::string said = reading.get();
        EXPECT_EQ(said.rfind("Cannot read file " + path + ": ", 0), 0u) << said;
    }
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
