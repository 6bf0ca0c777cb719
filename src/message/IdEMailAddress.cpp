#include "message/IdEMailAddress.h"

#include "net/IdGlobal.h"

namespace {

bool EnclosedIn(const std::string& text, char quote)
{
    return text.front() == quote && text.back() == quote;
}

} // namespace

std::string TIdEMailAddressItem::Text() const
{
    if (Name.empty() || UpperCase(Address) == Name) {
        return Address;
    }
    return Name + " <" + Address + ">";
}

void TIdEMailAddressItem::SetText(const std::string& value)
{
    Address.clear();
    Name.clear();
    if (!value.empty() && (value.back() == '>' || value.back() == ')')) {
        const bool angle = value.back() == '>';
        const size_t open = value.find(angle ? '<' : '(');
        if (open != std::string::npos) {
            const std::string before = Trim(value.substr(0, open));
            const std::string inside = Trim(value.substr(open + 1, value.size() - open - 2));
            Name = angle ? before : inside;
            Address = angle ? inside : before;
        }
    } else {
        Address = value;
    }
    while (Name.size() > 1 && (EnclosedIn(Name, '"') || EnclosedIn(Name, '\''))) {
        Name = Name.substr(1, Name.size() - 2);
    }
}

void TIdEMailAddressItem::Assign(const TIdEMailAddressItem& source)
{
    Address = source.Address;
    Name = source.Name;
}

TIdEMailAddressList::TIdEMailAddressList(const TIdEMailAddressList& source)
{
    *this = source;
}

TIdEMailAddressList& TIdEMailAddressList::operator=(const TIdEMailAddressList& source)
{
    if (this != &source) {
        Clear();
        for (const auto& item : source.items_) {
            Add().Assign(*item);
        }
    }
    return *this;
}

TIdEMailAddressItem& TIdEMailAddressList::Add()
{
    items_.push_back(std::make_unique<TIdEMailAddressItem>());
    return *items_.back();
}

std::string TIdEMailAddressList::AddressListText() const
{
    std::string result;
    for (size_t i = 0; i < items_.size(); ++i) {
        result += (i == 0 ? "" : ", ") + items_[i]->Text();
    }
    return result;
}

void TIdEMailAddressList::SetAddressListText(const std::string& value)
{
    Clear();
    std::vector<std::string> pieces;
    // A comma inside the first quoted stretch of a piece (a display name) does not split.
    SplitCommaList(value, pieces);
    for (const std::string& piece : pieces) {
        Add().SetText(piece);
    }
}
