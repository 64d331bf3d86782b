#include "core/SerialPort.h"

#include <charconv>
#include <vector>

#include "core/Dialogs.h"
#include "core/LooseText.h"

namespace vigiltron {

std::optional<std::string> CommErrorMessage(CommEvent event) {
    switch (event) {
        case CommEvent::Framing:
            return "Framing error detected";
        case CommEvent::Overrun:
            return "Error detected. Possible data loss";
        case CommEvent::RxOverflow:
            return "RX Overflow detected";
        case CommEvent::RxParity:
            return "Rx Parity Error detected";
        case CommEvent::TxFull:
            return "Tx Overflow detected";
        default:
            return std::nullopt;
    }
}

bool ShowCommError(Dialogs& dialogs, CommEvent event) {
    const auto message = CommErrorMessage(event);
    if (message) {
        dialogs.ShowMessage(*message, MessageIcon::Exclamation, true);
    }
    return message.has_value();
}

namespace {

std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

bool ParseInt(std::string_view s, int& out) {
    s = Trim(s, " ");
    const auto* end = s.data() + s.size();
    const auto result = std::from_chars(s.data(), end, out);
    return result.ec == std::errc() && result.ptr == end && !s.empty();
}

}  // namespace

std::optional<LineSettings> ParseLineSettings(std::string_view text, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<LineSettings> {
        if (error) {
            *error = "Invalid port settings \"" + std::string(text) + "\": " + why;
        }
        return std::nullopt;
    };
    const auto fields = SplitFields(text);
    if (fields.size() != 4) {
        return fail("expected baud,parity,data bits,stop bits");
    }
    LineSettings s;
    if (!ParseInt(fields[0], s.baudRate) || s.baudRate <= 0) {
        return fail("baud rate must be a positive number");
    }
    const auto parity = Trim(fields[1], " ");
    if (parity.size() != 1) {
        return fail("parity must be one of n, o, e, m, s");
    }
    switch (parity[0]) {
        case 'n':
        case 'N':
            s.parity = Parity::None;
            break;
        case 'o':
        case 'O':
            s.parity = Parity::Odd;
            break;
        case 'e':
        case 'E':
            s.parity = Parity::Even;
            break;
        case 'm':
        case 'M':
            s.parity = Parity::Mark;
            break;
        case 's':
        case 'S':
            s.parity = Parity::Space;
            break;
        default:
            return fail("parity must be one of n, o, e, m, s");
    }
    if (!ParseInt(fields[2], s.dataBits) || s.dataBits < 5 || s.dataBits > 8) {
        return fail("data bits must be 5 to 8");
    }
    const auto stop = Trim(fields[3], " ");
    if (stop == "1") {
        s.stopBits = 1;
    } else if (stop == "1.5") {
        s.stopBits = 15;
    } else if (stop == "2") {
        s.stopBits = 2;
    } else {
        return fail("stop bits must be 1, 1.5 or 2");
    }
    return s;
}

}  // namespace vigiltron
