#pragma once

#include <string_view>

namespace sweepwise {

// The two labels a scan writes: the window implements it. Texts are UTF-8, but the paths
// in them are the bytes on disk and need not be valid UTF-8.
class ScanView {
public:
    virtual ~ScanView() = default;
    virtual void setStatusText(std::string_view text) = 0;  // lls
    virtual void setCountText(std::string_view text) = 0;   // Lf
};

}  // namespace sweepwise
