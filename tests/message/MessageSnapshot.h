#pragma once

// What the message reader made of a text, as one comparable text, and reading a text in pieces
// of a given size. Shared by the reader tests and the reader's fuzz target, so no test framework.

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>

#include "message/IdMessageReader.h"

namespace quietpane::test {

// The decoded content of a part: a text's body, an attachment's stored file.
inline std::string PartContent(const TIdMessagePart& part)
{
    if (const auto* text = dynamic_cast<const TIdText*>(&part)) {
        std::string joined;
        for (const std::string& entry : text->Body) {
            joined += entry;
        }
        return joined;
    }
    if (part.StoredFileName.empty()) {
        return {};
    }
    std::ifstream file(part.StoredFileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline std::string MessageSnapshot(const TIdMessage& message)
{
    std::ostringstream out;
    out << "subject " << message.Subject << "\nfrom " << message.From.Text() << "\n";
    for (const std::string& line : message.Body) {
        out << "body " << line << "\n";
    }
    for (int index = 0; index < message.Parts.Count(); ++index) {
        const TIdMessagePart& part = message.Parts.Items(index);
        out << part.ClassName() << "\n";
        for (const std::string& line : part.PartHeaders.Lines()) {
            out << "  " << line << "\n";
        }
        if (const auto* attachment = dynamic_cast<const TIdAttachment*>(&part)) {
            out << "  name " << attachment->FileName << "\n";
        }
        out << "  content " << PartContent(part) << "\n";
    }
    return out.str();
}

// Reads a whole message fed in pieces of the given size (0: at once). A failure to decode is
// part of the result, with the parts read up to it.
inline std::string ReadInPieces(std::string_view text, std::size_t piece)
{
    TIdMessage message;
    std::string failure;
    try {
        TIdMessageReader reader(message, TIdMessageReader::TInput::WholeMessage);
        const std::size_t step = piece == 0 ? std::max<std::size_t>(text.size(), 1) : piece;
        for (std::size_t at = 0; at < text.size(); at += step) {
            reader.Feed(text.substr(at, step));
        }
        reader.Finish();
    } catch (const std::exception& error) {
        failure = std::string("failure ") + error.what() + "\n";
    }
    return failure + MessageSnapshot(message);
}

} // namespace quietpane::test
