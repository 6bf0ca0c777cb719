// Feeds arbitrary bytes to the readers of received header text: the encoded-word decoder, the
// date reader, the address list parser and the header list's unfolding and folding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "message/IdEMailAddress.h"
#include "message/IdHeaderCoder.h"
#include "message/IdHeaderList.h"
#include "message/IdMessage.h"
#include "net/IdGlobal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);

    DecodeHeaderText(input, false);
    DecodeHeaderText(input, true);
    JisToShiftJis(input);
    ShiftJisToJis(input);

    std::string dateText = input;
    InternetTextToDate(dateText);
    InternetTextToLocalDate(input);

    TIdEMailAddressList addresses;
    addresses.SetAddressListText(input);
    addresses.AddressListText();

    // The input as a received header block, one entry per line, then read into the fields.
    TIdMessage message;
    std::string rest = input;
    while (!rest.empty()) {
        message.ReceivedHeaders.Add(CutToken(rest, "\n"));
    }
    message.ApplyReceivedHeaders();
    for (int i = 0; i < message.ReceivedHeaders.Count(); ++i) {
        message.ReceivedHeaders.HeaderValueAt(i);
    }

    // Whatever was read must go out again as well-formed header lines.
    message.Subject = input;
    const auto headers = message.BuildHeaderList();
    for (int i = 0; i < headers->Count(); ++i) {
        const std::string& line = (*headers)[i];
        if (line.empty() || line.find_first_of("\r\n") != std::string::npos ||
            (i > 0 && headers->HeaderNameAt(i).empty() && line[0] != ' ' && line[0] != '\t')) {
            __builtin_trap();
        }
    }
    return 0;
}
