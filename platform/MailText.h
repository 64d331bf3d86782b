#pragma once

#include <string>
#include <vector>

#include "alerts/SmtpClient.h"

namespace vigiltron {

// The addresses of a recipient box: one, or several separated by commas or semicolons, without
// the blanks around them.
std::vector<std::string> SplitAddresses(const std::string& text);

// A mail as it goes on the wire: headers (Date, From when there is a sender, To, Cc when there
// is one, Subject, Message-ID and the MIME ones), an empty line, then the body byte for byte.
// The user's texts cannot add headers of their own; a subject beyond ASCII is sent encoded.
std::string MailText(const SmtpRequest& request);

}  // namespace vigiltron
