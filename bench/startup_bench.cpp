// Times Sweepwise from launch until its main window is mapped on an X display, and reads its
// resident memory once it is at rest.
//   DISPLAY=:N sweepwise_startup_bench PROGRAM [RUNS]   (default 10 runs)
// Each launch gets a fresh temporary folder as TMPDIR, so the one file each launch leaves there
// goes with it. The program is ended with SIGTERM after each measurement.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::string_view kTitle = "Sweepwise Ver 2.15";

std::string windowName(xcb_connection_t* x, xcb_window_t window) {
    const auto cookie =
        xcb_get_property(x, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(x, cookie, nullptr);
    std::string name;
    if (reply != nullptr) {
        name.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                    std::size_t(xcb_get_property_value_length(reply)));
        std::free(reply);
    }
    return name;
}

long statusKilobytes(pid_t pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::atol(line.c_str() + std::strlen(field));
        }
    }
    return -1;
}

struct Launch {
    double shownMs = -1;
    long restingKb = -1;
};

Launch launch(xcb_connection_t* x, xcb_window_t root, const std::string& program) {
    std::string temp = (std::filesystem::temp_directory_path() / "sweepwise-start-XXXXXX").string();
    if (::mkdtemp(temp.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    std::vector<std::string> env{"TMPDIR=" + temp};
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "TMPDIR=", 7) != 0) {
            env.emplace_back(*e);
        }
    }
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};

    Launch result;
    pid_t pid = -1;
    const auto start = Clock::now();
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    // Top-level windows are mapped as children of the root without a window manager.
    while (xcb_generic_event_t* event = xcb_wait_for_event(x)) {
        const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
        const xcb_window_t window =
            mapped ? reinterpret_cast<xcb_map_notify_event_t*>(event)->window : 0;
        std::free(event);
        if (mapped && windowName(x, window) == kTitle) {
            result.shownMs =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            break;
        }
    }
    (void)root;
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    result.restingKb = statusKilobytes(pid, "VmRSS:");
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    std::filesystem::remove_all(temp);
    return result;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: DISPLAY=:N %s PROGRAM [RUNS]\n", argv[0]);
        return 2;
    }
    const std::string program = std::filesystem::absolute(argv[1]).string();
    const int runs = argc > 2 ? std::atoi(argv[2]) : 10;
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    launch(x, root, program);  // warms the page cache; not counted
    std::vector<double> shown, resting;
    for (int i = 0; i < runs; ++i) {
        const Launch one = launch(x, root, program);
        shown.push_back(one.shownMs);
        resting.push_back(double(one.restingKb) / 1024.0);
        std::printf("run %d: shown after %.1f ms, resident %.1f MB\n", i + 1, one.shownMs,
                    resting.back());
    }
    std::printf("median shown after %.1f ms (min %.1f, max %.1f); median resident %.1f MB\n",
                median(shown), *std::min_element(shown.begin(), shown.end()),
                *std::max_element(shown.begin(), shown.end()), median(resting));
    xcb_disconnect(x);
    return 0;
}
