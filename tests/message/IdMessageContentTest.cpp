// What a reader is shown of a received message: the attachments and the sender as a reply writes
// it. Which text is shown is read through the receive page, against Dovecot.

#include "message/IdMessageContent.h"

#include "message/IdMessageReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Attachments are addressed by position: two of the same name, or none, stay apart.
TEST(MessageContent, AttachmentsAreListedByPositionWithANameEach)
{
    TIdMessage message;
    const auto part = [](const std::string& headers, const std::string& base64) {
        return "--m\r\n" + headers + "Content-Transfer-Encoding: base64\r\n\r\n" + base64 + "\r\n";
    };
    TIdMessageReader::ReadMessage(
        message,
        "Content-Type: multipart/mixed; boundary=m\r\n\r\n--m\r\nContent-Type: text/plain\r\n\r\nhi\r\n" +
            part("Content-Type: text/plain; name=report.txt\r\n", "b25l") +
            part("Content-Type: text/plain; name=report.txt\r\n", "dHdv") +
            part("Content-Type: image/png\r\nContent-Disposition: attachment\r\n", "iVBORw==") +
            part("Content-Type: application/x-custom\r\nContent-Disposition: attachment\r\n", "eA==") +
            part("Content-Type: text/plain; name=broken.txt\r\n", "!!!!") + "--m--\r\n");
    const std::vector<TIdListedAttachment> listed = ListedAttachments(message);
    ASSERT_EQ(listed.size(), 5u);
    const char* names[] = {"report.txt", "report.txt", "attachment-3.png", "attachment-4.bin", "broken.txt"};
    for (std::size_t row = 0; row < listed.size(); ++row) {
        EXPECT_EQ(listed[row].index, static_cast<int>(row) + 2); // after the preamble and the text
        EXPECT_EQ(listed[row].name, names[row]);
        EXPECT_EQ(listed[row].undecodable, row == 4);
    }
    EXPECT_EQ(listed[2].contentType, "image/png");
}

TEST(MessageContent, ANameInARecipientBoxIsQuotedSoThatItsCommaNeverSplits)
{
    const struct {
        std::string name, address, text;
    } rows[] = {
        {"", "jd@example.org", "jd@example.org"},
        {"Doe, John", "jd@example.org", "\"Doe, John\" <jd@example.org>"},
        {"A \"B\" \\C", "a@example.org", "\"A \\\"B\\\" \\\\C\" <a@example.org>"},
    };
    for (const auto& row : rows) {
        TIdEMailAddressItem item;
        item.Name = row.name;
        item.Address = row.address;
        EXPECT_EQ(QuotedAddressText(item), row.text);
    }
    TIdEMailAddressList list;
    TIdEMailAddressItem doe;
    doe.Name = "Doe, John";
    doe.Address = "jd@example.org";
    list.SetAddressListText(QuotedAddressText(doe));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0).Name, "Doe, John");
}

} // namespace
