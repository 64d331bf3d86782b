#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "alerts/SmtpClient.h"

namespace vigiltron {

// Keeps every mail handed to it; a test then plays the client's part, saying how each one went.
class RecordingSmtpClient : public SmtpClient {
public:
    struct Mail {
        SmtpRequest request;
        Progress progress;
        Done done;
    };

    void Send(SmtpRequest request, Progress progress, Done done) override {
        mails.push_back({std::move(request), std::move(progress), std::move(done)});
    }

    // Reports `lines` as progress texts of mail `index`, then its outcome.
    void Finish(std::size_t index, const SmtpOutcome& outcome,
                const std::vector<std::string>& lines = {}) {
        const Mail& mail = mails.at(index);
        for (const std::string& line : lines) {
            mail.progress(line);
        }
        mail.done(outcome);
    }

    std::vector<Mail> mails;
};

}  // namespace vigiltron
