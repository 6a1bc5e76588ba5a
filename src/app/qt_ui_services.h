#pragma once

#include <chrono>
#include <functional>

#include "platform/system.h"
#include "platform/ui_services.h"

namespace sweepwise {

// The user-interface services on Qt. Qt's own event processing costs microseconds, which the
// scan would pay at every file, so the pump lets events run only once an interval has passed.
class QtUiServices : public platform::UiServices {
public:
    static constexpr std::chrono::milliseconds kPumpInterval{5};
    // What the windows show is brought up to date at most this often: faster than the eye.
    static constexpr std::chrono::milliseconds kRefreshInterval{16};
    // Long lists and progress less often: a list view repaints every visible row whenever rows
    // are added, however far below they come, and a progress window all of itself; either costs
    // more than the rest of a refresh.
    static constexpr std::chrono::milliseconds kListRefreshInterval{100};

    explicit QtUiServices(platform::System& system) : m_system(system) {}

    // Runs before events are let through, at most once a refresh interval, so that what the
    // windows show is brought up to date only as often as it can be seen; `lists` is true at
    // most once a list refresh interval.
    void setRefresh(std::function<void(bool lists)> hook) { m_refresh = std::move(hook); }
    // Runs every time events are let through, after the refresh.
    void setBeforeEvents(std::function<void()> hook) { m_beforeEvents = std::move(hook); }

    void pump() override;
    bool eventsDue() const override;
    bool pumping() const override { return m_pumping; }
    int messageBox(std::string_view text, int flags, std::string_view title) override;
    [[noreturn]] void endProgram() override;

private:
    platform::System& m_system;
    std::function<void(bool lists)> m_refresh;
    std::function<void()> m_beforeEvents;
    std::chrono::steady_clock::time_point m_lastEvents{};
    std::chrono::steady_clock::time_point m_lastRefresh{};
    std::chrono::steady_clock::time_point m_lastListRefresh{};
    bool m_pumping = false;
};

}  // namespace sweepwise
