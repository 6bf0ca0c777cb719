#pragma once

#include <memory>
#include <string>
#include <vector>

#include "message/IdEMailAddress.h"
#include "message/IdHeaderList.h"
#include "message/IdMessageParts.h"
#include "net/IdBaseComponent.h"
#include "net/IdGlobal.h"

// Written on the wire as X-Priority 1 (mpHighest) to 5 (mpLowest).
enum TIdMessagePriority { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };

// One mail message in memory: typed header fields, body lines and parts, and the mappings
// between the fields and header lines (to send, and as received).
class TIdMessage : public TIdBaseComponent {
public:
    TIdMessage();
    TIdMessage(const TIdMessage&) = delete;
    TIdMessage& operator=(const TIdMessage&) = delete;

    std::vector<std::string> Body;
    TIdEMailAddressList BccList;
    std::string CharSet;
    TIdEMailAddressList CCList;
    std::string ContentType;
    std::string ContentTransferEncoding;
    TDateTime Date = 0; // local time; 0 stands for "now" when the message is sent
    TIdHeaderList ExtraHeaders;
    TIdEMailAddressItem From;
    std::vector<std::string> NewsGroups;
    bool NoDecode = false; // received bodies go into Body as raw lines
    std::string Organization;
    TIdMessagePriority Priority = mpNormal;
    TIdEMailAddressItem ReceiptRecipient;
    TIdEMailAddressList Recipients;
    std::string References;
    TIdEMailAddressList ReplyTo;
    std::string Subject;
    TIdEMailAddressItem Sender;
    TIdMessageParts Parts;
    TIdHeaderList ReceivedHeaders;
    std::string MessageIdentifier; // of the last message read; kept by Clear

    bool UseNowForDate() const { return Date == 0; }
    // True clears Date; false fixes an unset Date to the current time.
    void SetUseNowForDate(bool value);

    virtual void Clear();
    void ResetHeaderFields();
    void ResetContent();

    // The header lines to send, generated from the fields, then ExtraHeaders.
    std::unique_ptr<TIdHeaderList> BuildHeaderList() const;
    // Fills the fields from ReceivedHeaders.
    void ApplyReceivedHeaders();

    static TIdMessagePriority ParsePriority(const std::string& text);
};
