#pragma once

#include <memory>
#include <string>
#include <vector>

// One mailbox: a display name and an address, with the plain text form used in headers
// ("Name <address>") and in the mail window's edit boxes.
class TIdEMailAddressItem {
public:
    std::string Address; // without angle brackets
    std::string Name;    // without surrounding quotes

    std::string Text() const;
    // Parses "Name <address>", "address (Name)" or a bare address.
    void SetText(const std::string& value);
    void Assign(const TIdEMailAddressItem& source);
};

// An ordered list of mailboxes that owns its items.
class TIdEMailAddressList {
public:
    TIdEMailAddressList() = default;
    TIdEMailAddressList(const TIdEMailAddressList& source);
    TIdEMailAddressList& operator=(const TIdEMailAddressList& source);

    // Appends a new empty item and returns it.
    TIdEMailAddressItem& Add();
    TIdEMailAddressItem& Items(int index) { return *items_.at(index); }
    const TIdEMailAddressItem& Items(int index) const { return *items_.at(index); }
    int Count() const { return static_cast<int>(items_.size()); }
    void Clear() { items_.clear(); }

    // The items' text forms joined by ", ".
    std::string AddressListText() const;
    // Replaces the whole list with the mailboxes of a comma-separated text.
    void SetAddressListText(const std::string& value);

private:
    std::vector<std::unique_ptr<TIdEMailAddressItem>> items_;
};
