#include <gtest/gtest.h>

#include "fakes/FakeFiles.h"
#include "submit/Outbox.h"

namespace tovela {
namespace {

constexpr const char* kFolder = "C:\\Profile\\Outbox";

TEST(OutboxTest, KeepsInOrderWithCopiesAndLosesNothingOfTheMessage) {
    testing::FakeFileSystem files;
    files.AddFile("C:\\Temp\\a 1.pdf", "pdf bytes");
    Outbox outbox(files, kFolder);
    BridgedMessage message;
    message.sFiles = "\"C:\\Temp\\a 1.pdf\" \"C:\\Temp\\gone.txt\"";
    message.sFileNames = "\"Report.pdf\" \"x\"";
    message.sSubject = "件名\r\nwith \\ backslash";
    message.sBody = "line 1\nline 2\r\n";
    message.sMapiFlags = "(8)";
    ASSERT_TRUE(outbox.KeepMessage(message));
    ASSERT_TRUE(outbox.KeepFiles("/briefcase \"C:\\Docs\\b.txt\""));
    // The sender deletes its file as soon as the hand-over returns.
    files.RemoveFile("C:\\Temp\\a 1.pdf");

    auto first = outbox.Oldest();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->kind, Outbox::Kind::Message);
    const std::string copy = first->folder + "\\1-a 1.pdf";
    EXPECT_EQ(first->message.sFiles, "\"" + copy + "\" \"C:\\Temp\\gone.txt\"");
    EXPECT_EQ(files.entries.at(copy).bytes, "pdf bytes");
    EXPECT_EQ(first->message.sFileNames, message.sFileNames);
    EXPECT_EQ(first->message.sSubject, message.sSubject);
    EXPECT_EQ(first->message.sBody, message.sBody);
    EXPECT_EQ(first->message.sMapiFlags, "(8)");

    // A failed try is counted and the item keeps its place.
    outbox.Attempted(*first);
    EXPECT_EQ(outbox.Oldest()->attempts, 1);
    outbox.Remove(*first);
    EXPECT_FALSE(files.entries.contains(copy));
    const auto second = outbox.Oldest();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->kind, Outbox::Kind::Files);
    EXPECT_EQ(second->message.sFiles, "/briefcase \"C:\\Docs\\b.txt\"");
    outbox.Remove(*second);
    EXPECT_EQ(outbox.Count(), 0u);
}

TEST(OutboxTest, AHalfWrittenItemIsDroppedAndNumberingGoesOn) {
    testing::FakeFileSystem files;
    Outbox outbox(files, kFolder);
    files.CreateFolder(kFolder);
    files.CreateFolder(std::string(kFolder) + "\\0000000007");  // no item file: cut off
    ASSERT_TRUE(outbox.KeepFiles("C:\\x.txt"));
    const auto item = outbox.Oldest();
    ASSERT_TRUE(item);
    EXPECT_EQ(item->folder, std::string(kFolder) + "\\0000000008");
    EXPECT_EQ(outbox.Count(), 1u);
}

}  // namespace
}  // namespace tovela
