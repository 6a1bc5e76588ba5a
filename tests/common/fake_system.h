#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/system.h"
#include "platform/ui_services.h"

namespace sweepwise::test {

// Every location points at fixtures, and the clock runs only when something sleeps.
class FakeSystem : public platform::System {
public:
    std::optional<std::string> temp;  // the temporary folder, with its final "/"
    std::optional<std::string> winTemp, netTemp, cookies;
    std::vector<std::string> drives;
    int temporaryFileCalls = 0;
    std::vector<int> sleeps;
    std::chrono::steady_clock::time_point clock{};

    std::optional<std::string> TemporaryFile(std::string_view) override {
        ++temporaryFileCalls;
        if (temp) {
            const std::string name = *temp + "TMP" + std::to_string(temporaryFileCalls) + ".tmp";
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd >= 0) {
                ::close(fd);
            }
        }
        return temp;
    }
    std::optional<std::string> GetWinTemdir() override { return winTemp; }
    std::optional<std::string> GetNetTemdir() override { return netTemp; }
    std::optional<std::string> GetCookiesDir() override { return cookies; }
    std::vector<std::string> fixedDrives() override { return drives; }
    std::chrono::steady_clock::time_point now() override { return clock; }
    void sleep(int milliseconds) override {
        sleeps.push_back(milliseconds);
        clock += std::chrono::milliseconds(milliseconds);
    }
};

// Runs a chosen command at a pump call, as a click handled during the pump would, and answers
// message boxes as a script says.
class TestUi : public platform::UiServices {
public:
    struct Shown {
        std::string text;
        int flags;
        std::string title;
    };

    int pumps = 0;
    std::function<void()> onPump;
    std::vector<Shown> messages;
    std::function<int(const Shown&)> answer = [](const Shown&) { return platform::kAnswerOk; };
    int endCode = 3;
    bool pumpingNow = false;  // what pumping() says, as the real pump does while events run

    void pump() override {
        ++pumps;
        if (onPump) {
            onPump();
        }
    }
    bool pumping() const override { return pumpingNow; }
    int messageBox(std::string_view text, int flags, std::string_view title) override {
        messages.push_back({std::string(text), flags, std::string(title)});
        return answer(messages.back());
    }
    // Only tests run in a child process get here: the process ends as the program would.
    [[noreturn]] void endProgram() override { ::_exit(endCode); }
};

}  // namespace sweepwise::test
