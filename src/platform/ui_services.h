#pragma once

#include <string_view>

namespace sweepwise::platform {

// Message-box flags and answers, as the windows' commands pass and read them.
inline constexpr int kMessageInformation = 64;    // information icon, OK
inline constexpr int kMessageQuestionYesNo = 36;  // question icon, Yes (the default) and No
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

// What the long loops need of the user interface. The app implements it with Qt; tests replace
// it to run a command at a chosen pump call and to answer message boxes.
class UiServices {
public:
    virtual ~UiServices() = default;

    // Lets pending user-interface events run; a command clicked meanwhile runs nested in here.
    virtual void pump() = 0;
    // Whether pump() would let events run now. A loop may leave work that only shows on screen
    // until this says so; pump() is then called before anything can look.
    virtual bool eventsDue() const { return true; }
    // True while pump() lets events run. A window may leave its changes to the loop's own
    // refresh then, rather than show each of them as it comes.
    virtual bool pumping() const { return false; }
    // A modal message box; gives the answer.
    virtual int messageBox(std::string_view text, int flags, std::string_view title) = 0;
    // Ends the whole program at once: no handler runs, no window gets a say.
    [[noreturn]] virtual void endProgram() = 0;
};

}  // namespace sweepwise::platform
