#include <gtest/gtest.h>

#include <filesystem>

#include "message/IdMessageParts.h"
#include "support/TestSupport.h"

namespace {

using quietpane::test::ReadFile;
using quietpane::test::TempDir;

TEST(MessagePartsTest, CreatesOnlyTheTwoPartClassesByName)
{
    TIdMessageParts parts;
    EXPECT_EQ(parts.Add("TIdText").ClassName(), "TIdText");
    EXPECT_EQ(parts.Add("TIdAttachment").ClassName(), "TIdAttachment");
    try {
        parts.Add("TIdMessagePart");
        FAIL() << "created a bare part";
    } catch (const EIdException& error) {
        EXPECT_STREQ(error.what(), "TIdMessagePart can not be created.  Use descendant classes. ");
    }
    EXPECT_EQ(parts.Count(), 2);
}

TEST(MessagePartsTest, KeepsOrderAndDeletesByIndex)
{
    TIdMessageParts parts;
    parts.AddText({"first"});
    parts.AddAttachment("/tmp/a.bin");
    parts.AddText({"last"});
    parts.Delete(0);
    ASSERT_EQ(parts.Count(), 2);
    EXPECT_EQ(dynamic_cast<TIdAttachment&>(parts.Items(0)).FileName, "/tmp/a.bin");
    EXPECT_EQ(dynamic_cast<TIdText&>(parts.Items(1)).Body, std::vector<std::string>{"last"});
    EXPECT_THROW(parts.Delete(5), std::out_of_range);
}

TEST(MessagePartsTest, KeepsContentHeadersInThePartHeaders)
{
    TIdAttachment part("x.pdf");
    part.SetContentType("application/pdf");
    part.SetContentTransfer("base64");
    part.SetContentDisposition("attachment; filename=\"x.pdf\"");
    EXPECT_EQ(part.PartHeaders.Lines(),
              (std::vector<std::string>{"Content-Type: application/pdf", "Content-Transfer-Encoding: base64",
                                        "Content-Disposition: attachment; filename=\"x.pdf\""}));
    part.SetContentType("");
    EXPECT_EQ(part.PartHeaders.Count(), 2);
    EXPECT_EQ(part.ContentType(), "");
}

TEST(MessagePartsTest, AssignCopiesSettingsOfTheSameClassButNotTheStoredFile)
{
    TIdAttachment source("report.pdf");
    source.SetContentType("application/pdf");
    source.SetContentTransfer("base64");
    source.SetContentDisposition("attachment");
    source.ExtraHeaders.SetHeader("Content-ID", "<x>");
    source.StoredFileName = "/tmp/stored";
    TIdAttachment copy;
    copy.Assign(source);
    EXPECT_EQ(copy.FileName, "report.pdf");
    EXPECT_EQ(copy.ContentType(), "application/pdf");
    EXPECT_EQ(copy.ContentTransfer(), "base64");
    EXPECT_EQ(copy.ContentDisposition(), "attachment");
    EXPECT_EQ(copy.ExtraHeaders.GetHeader("Content-ID"), "<x>");
    EXPECT_EQ(copy.StoredFileName, "");

    TIdText text({"a", "b"});
    TIdText textCopy;
    textCopy.Assign(text);
    EXPECT_EQ(textCopy.Body, text.Body);
    EXPECT_THROW(textCopy.Assign(source), EIdException);
}

TEST(MessagePartsTest, SavesTheStoredFileWithoutOverwritingAndKeepsItAfterwards)
{
    TempDir folder;
    const auto stored = folder.WriteFile("stored.bin", "decoded content");
    const auto existing = folder.WriteFile("existing.bin", "keep me");
    {
        TIdMessageParts parts;
        TIdAttachment& attachment = parts.AddAttachment("name.bin");
        attachment.StoredFileName = stored.string();
        EXPECT_TRUE(attachment.SaveContentTo((folder.Path() / "saved.bin").string()));
        EXPECT_FALSE(attachment.SaveContentTo(existing.string()));
        TIdAttachment missing;
        missing.StoredFileName = (folder.Path() / "missing").string();
        EXPECT_FALSE(missing.SaveContentTo((folder.Path() / "other.bin").string()));
    }
    EXPECT_EQ(ReadFile(folder.Path() / "saved.bin"), "decoded content");
    EXPECT_EQ(ReadFile(existing), "keep me");
    EXPECT_TRUE(std::filesystem::exists(stored));
}

} // namespace
