#include "message/IdMessage.h"

#include "message/IdHeaderCoder.h"

namespace {

const char* const kLibraryName = "Vida 8.0.25";

bool NeedsCommaTextQuotes(const std::string& item)
{
    for (char c : item) {
        if (static_cast<unsigned char>(c) <= ' ' || c == ',' || c == '"') {
            return true;
        }
    }
    return false;
}

// Items joined by ","; an item with a control character, blank, comma or double quote is
// quoted with its inner double quotes doubled.
std::string CommaText(const std::vector<std::string>& items)
{
    std::string result;
    for (size_t i = 0; i < items.size(); ++i) {
        result += i == 0 ? "" : ",";
        if (!NeedsCommaTextQuotes(items[i])) {
            result += items[i];
            continue;
        }
        result += '"';
        for (char c : items[i]) {
            result += c == '"' ? std::string("\"\"") : std::string(1, c);
        }
        result += '"';
    }
    return result;
}

void SetDecodedAddressList(TIdEMailAddressList& list, const std::string& value)
{
    list.SetAddressListText(value);
    for (int index = 0; index < list.Count(); ++index) {
        list.Items(index).Name = DecodeHeaderText(list.Items(index).Name);
    }
}

} // namespace

TIdMessage::TIdMessage()
{
    // What Clear does, without virtual dispatch during construction.
    ResetHeaderFields();
    ResetContent();
}

void TIdMessage::SetUseNowForDate(bool value)
{
    if (value) {
        Date = 0;
    } else if (Date == 0) {
        Date = NowLocal();
    }
}

void TIdMessage::Clear()
{
    ResetHeaderFields();
    ResetContent();
}

void TIdMessage::ResetHeaderFields()
{
    CCList.Clear();
    BccList.Clear();
    From = {};
    NewsGroups.clear();
    Organization.clear();
    References.clear();
    ReplyTo.Clear();
    Subject.clear();
    Recipients.Clear();
    ReceiptRecipient = {};
    ContentType.clear();
    CharSet.clear();
    ContentTransferEncoding.clear();
    Sender = {};
    ReceivedHeaders.Clear();
    ExtraHeaders.Clear();
    Priority = mpNormal;
    Date = 0;
}

void TIdMessage::ResetContent()
{
    Parts.Clear();
    Body.clear();
}

std::unique_ptr<TIdHeaderList> TIdMessage::BuildHeaderList() const
{
    const TIdHeaderEncoding encoding = SelectHeaderCharset();
    auto headers = std::make_unique<TIdHeaderList>();
    headers->SetHeader("From", EncodeAddressItem(From, encoding));
    headers->SetHeader("Subject", EncodeHeaderText(Subject, "", encoding));
    headers->SetHeader("To", EncodeAddressList(Recipients, encoding));
    headers->SetHeader("Cc", EncodeAddressList(CCList, encoding));
    headers->SetHeader("Newsgroups", CommaText(NewsGroups));
    headers->SetHeader("Content-Type", ContentType);
    if (Parts.Count() > 0) {
        headers->SetHeader("MIME-Version", "1.0");
    }
    headers->SetHeader("Content-Transfer-Encoding", ContentTransferEncoding);
    headers->SetHeader("Sender", Sender.Text());
    headers->SetHeader("Reply-To", EncodeAddressList(ReplyTo, encoding));
    headers->SetHeader("Organization", EncodeHeaderText(Organization, "", encoding));
    headers->SetHeader("Disposition-Notification-To", EncodeAddressItem(ReceiptRecipient, encoding));
    headers->SetHeader("References", References);
    headers->SetHeader("Date", DateToInternetText(UseNowForDate() ? NowLocal() : Date));
    headers->SetHeader("X-Priority", std::to_string(static_cast<int>(Priority) + 1));
    headers->SetHeader("X-Library", kLibraryName);
    headers->AddStrings(ExtraHeaders);
    return headers;
}

void TIdMessage::ApplyReceivedHeaders()
{
    const auto header = [this](const char* name) { return ReceivedHeaders.GetHeader(name); };
    ContentType = header("Content-Type");
    ContentTransferEncoding = header("Content-Transfer-Encoding");
    Subject = DecodeHeaderText(header("Subject"));
    // Names are decoded after the addresses are split: a decoded name may hold "," or "<".
    From.SetText(header("From"));
    From.Name = DecodeHeaderText(From.Name);
    MessageIdentifier = header("Message-Id");
    SplitCommaList(header("Newsgroups"), NewsGroups);
    SetDecodedAddressList(Recipients, header("To"));
    SetDecodedAddressList(CCList, header("Cc"));
    Organization = header("Organization");
    ReceiptRecipient.SetText(header("Disposition-Notification-To"));
    if (ReceiptRecipient.Text().empty()) {
        ReceiptRecipient.SetText(header("Return-Receipt-To"));
    }
    References = header("References");
    ReplyTo.SetAddressListText(header("Reply-To"));
    const std::string date = header("Date");
    std::string unread = date;
    // A missing or unreadable date leaves the message without a date rather than at a moment of
    // day 0 shifted by the time zones.
    Date = InternetTextToDate(unread) == 0 ? 0 : InternetTextToLocalDate(date);
    Sender.SetText(header("Sender"));
    const std::string priority = header("Priority");
    Priority = ParsePriority(priority.empty() ? header("X-Priority") : priority);
}

TIdMessagePriority TIdMessage::ParsePriority(const std::string& text)
{
    const std::string lower = LowerCase(text);
    if (lower.find("urgent") != std::string::npos) {
        return mpHigh;
    }
    if (lower.find("non-priority") != std::string::npos) {
        return mpLow;
    }
    std::string rest = Trim(text);
    const std::string number = Trim(CutToken(rest, " "));
    int value = 0;
    // Numbers outside 1 to 5 name no priority and count as normal.
    if (!TryStrToInt(number, value) || value < 1 || value > 5) {
        return mpNormal;
    }
    return static_cast<TIdMessagePriority>(value - 1);
}
