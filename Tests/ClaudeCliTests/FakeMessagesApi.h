#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Tests/Support/fake-messages-api.mjs running under Node on a loopback port for as long as the
// object lives: one scripted `Bash` call of `echo hi`, then a final text, unless `options` of the
// script change that (a failing service, say).
class FakeMessagesApi {
public:
    // Throws when the server does not report its port within a few seconds.
    FakeMessagesApi(const std::string& node, const std::string& script,
                    std::vector<std::string> options = {});
    ~FakeMessagesApi();
    FakeMessagesApi(const FakeMessagesApi&) = delete;
    FakeMessagesApi& operator=(const FakeMessagesApi&) = delete;

    // For ANTHROPIC_BASE_URL.
    std::string baseUrl() const;
    // One line per request it answered so far, for failure messages.
    std::string requestLog() const;

private:
    void stop();

    pid_t pid_ = -1;
    int inputFd_ = -1;
    int logFd_ = -1;
    int port_ = 0;
};
