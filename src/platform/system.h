#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sweepwise::platform {

// The operating-system services that the core asks for, behind one interface so that tests can
// point every location at fixtures and run the clock without waiting.
class System {
public:
    virtual ~System() = default;

    // The temporary folder, ending with a separator. Each call also leaves one new, uniquely
    // named empty file there, named from the first three characters of the prefix ("TMP" for
    // an empty one), a hexadecimal number and ".tmp".
    virtual std::optional<std::string> TemporaryFile(std::string_view prefix) = 0;
    // The remaining locators give folders without a final separator, or nothing when the
    // location is not known; a caller never walks a location that is not known.
    virtual std::optional<std::string> GetWinTemdir() = 0;
    virtual std::optional<std::string> GetNetTemdir() = 0;
    virtual std::optional<std::string> GetCookiesDir() = 0;

    // The roots of the fixed drives, each ending with a separator, in ascending order.
    virtual std::vector<std::string> fixedDrives() = 0;

    virtual std::chrono::steady_clock::time_point now() = 0;
    virtual void sleep(int milliseconds) = 0;
};

// The machine the program runs on. Every locator reads the environment afresh at each call.
class HostSystem : public System {
public:
    std::optional<std::string> TemporaryFile(std::string_view prefix) override;
    std::optional<std::string> GetWinTemdir() override;
    std::optional<std::string> GetNetTemdir() override;
    std::optional<std::string> GetCookiesDir() override;
    std::vector<std::string> fixedDrives() override;
    std::chrono::steady_clock::time_point now() override;
    void sleep(int milliseconds) override;
};

}  // namespace sweepwise::platform
