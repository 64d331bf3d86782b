#include "platform/MailText.h"

#include <QDateTime>
#include <QUuid>
#include <algorithm>
#include <string_view>

#include "platform/WireText.h"

namespace vigiltron {

namespace {

// Header values are the user's texts: a line break in one would start a header of its own.
std::string OneLine(std::string_view text) {
    std::string line(text);
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

std::string Join(const std::vector<std::string>& items) {
    std::string joined;
    for (const std::string& item : items) {
        joined += (joined.empty() ? "" : ", ") + item;
    }
    return joined;
}

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned group = 0;
    int bits = 0;
    for (const char c : bytes) {
        group = (group << 8) | static_cast<unsigned char>(c);
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            out += kDigits[(group >> bits) & 63];
        }
    }
    if (bits > 0) {
        out += kDigits[(group << (6 - bits)) & 63];
    }
    while (out.size() % 4 != 0) {
        out += '=';
    }
    return out;
}

// A subject in plain ASCII goes as it is; any other is sent as UTF-8 encoded words, cut between
// characters so that each word stays within the line length mail allows.
std::string EncodedSubject(const std::string& subject) {
    const bool ascii = std::all_of(subject.begin(), subject.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        return subject;
    }
    constexpr std::size_t kChunk = 42;  // 56 characters of base64, 68 with the markers
    std::string encoded;
    std::size_t start = 0;
    while (start < subject.size()) {
        std::size_t end = std::min(subject.size(), start + kChunk);
        while (end < subject.size() && end > start + 1 &&
               (static_cast<unsigned char>(subject[end]) & 0xC0) == 0x80) {
            --end;  // not inside a multi-byte character
        }
        encoded += (encoded.empty() ? "" : "\r\n ") + std::string("=?UTF-8?B?") +
                   Base64(std::string_view(subject).substr(start, end - start)) + "?=";
        start = end;
    }
    return encoded;
}

}  // namespace

std::vector<std::string> SplitAddresses(const std::string& text) {
    std::vector<std::string> addresses;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t stop = rest.find_first_of(",;");
        const std::string_view address = TrimBlanks(rest.substr(0, stop));
        if (!address.empty()) {
            addresses.push_back(OneLine(address));
        }
        rest = stop == std::string_view::npos ? std::string_view() : rest.substr(stop + 1);
    }
    return addresses;
}

std::string MailText(const SmtpRequest& request) {
    const std::string from = OneLine(TrimBlanks(request.from));
    const std::size_t at = from.rfind('@');
    std::string domain = at == std::string::npos ? "" : from.substr(at + 1);
    std::erase_if(domain, [](char c) { return c == '>' || c == ' '; });
    if (domain.empty()) {
        domain = "vigiltron.localhost";
    }
    std::string text;
    text +=
        "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toStdString() + "\r\n";
    // Without a sender the mail system puts in its own.
    if (!from.empty()) {
        text += "From: " + from + "\r\n";
    }
    text += "To: " + Join(SplitAddresses(request.to)) + "\r\n";
    if (const std::vector<std::string> cc = SplitAddresses(request.cc); !cc.empty()) {
        text += "Cc: " + Join(cc) + "\r\n";
    }
    text += "Subject: " + EncodedSubject(OneLine(request.subject)) + "\r\n";
    text += "Message-ID: <" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString() +
            "@" + domain + ">\r\n";
    text += "MIME-Version: 1.0\r\n";
    text += "Content-Type: text/plain; charset=UTF-8\r\n";
    text += "Content-Transfer-Encoding: 8bit\r\n";
    text += "\r\n";
    text += request.body;
    return text;
}

}  // namespace vigiltron
