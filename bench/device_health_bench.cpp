// How soon a host learns that its camera is gone, and how soon frames come
// back once it is replugged and reopened, median of 10 rounds each on the
// test camera's first twin (640x480 at 30 fps, Null Renderer):
//  - unplug to the host's message (vlx_SetDeviceNotify), against a host that
//    polls vlx_GetDeviceState every millisecond instead;
//  - replug to the first frame after vlx_Reopen, against vlx_Close plus
//    vlx_Open and vlx_Play2 of the same device by its index.
#include "bench_support.h"
#include "dll/device_health.h"
#include "support/message_window.h"

#include <cstdio>
#include <vector>

using vlx_test::device_health;
using vlx_test::vidlox;

namespace {

constexpr int kRounds = 10;
constexpr UINT kStateMessage = WM_APP + 21;

bool wait_for_frame(double timeout_seconds) {
    const double deadline = vlx_bench::now_seconds() + timeout_seconds;
    std::vector<uint8_t> pixels(921600);
    BITMAPINFO header{};
    while (vlx_bench::now_seconds() < deadline) {
        int32_t size = static_cast<int32_t>(pixels.size());
        if (vidlox().GetImageMem(pixels.data(), &size, &header) == 0) return true;
        Sleep(1);
    }
    return false;
}

// Waits, pumping `window`, until it holds more than `seen` messages.
bool wait_for_message(vlx_test::MessageWindow& window, size_t seen, double timeout_seconds) {
    const double deadline = vlx_bench::now_seconds() + timeout_seconds;
    while (window.pump().size() <= seen) {
        if (vlx_bench::now_seconds() > deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    return true;
}

bool wait_for_state(int32_t state, double timeout_seconds) {
    const double deadline = vlx_bench::now_seconds() + timeout_seconds;
    while (device_health().GetDeviceState() != state) {
        if (vlx_bench::now_seconds() > deadline) return false;
        Sleep(1);
    }
    return true;
}

// One round: unplug (timed to the message or to the polled state), replug,
// reopen (timed to the first frame).
bool round(bool notify, vlx_test::MessageWindow& window, double& lost_seconds, double& back_seconds) {
    const auto& h = device_health();
    if (!wait_for_state(VLX_DEVICE_DELIVERING, 5)) return false;
    const size_t seen = window.pump().size();
    const double unplugged = vlx_bench::now_seconds();
    h.Unplug(VLXCAM_PATH_TWIN_1);
    if (!(notify ? wait_for_message(window, seen, 5) : wait_for_state(VLX_DEVICE_LOST, 5))) return false;
    lost_seconds = vlx_bench::now_seconds() - unplugged;
    const double replugged = vlx_bench::now_seconds();
    h.Replug(VLXCAM_PATH_TWIN_1);
    if (h.Reopen() != 0 || !wait_for_frame(5)) return false;
    back_seconds = vlx_bench::now_seconds() - replugged;
    return true;
}

// The baseline of the second figure: a fresh open of the same device.
double open_to_frame(int32_t index) {
    vidlox().Close();
    const double start = vlx_bench::now_seconds();
    if (vidlox().Open(index, 6, 0, 0, 0) != 0 || vidlox().Play2() < 0 || !wait_for_frame(5)) return -1;
    return vlx_bench::now_seconds() - start;
}

}  // namespace

int main() {
    const auto& v = vidlox();
    const auto& h = device_health();
    v.Init();
    const int32_t twin = h.FindDevice(vlx_test::utf8(VLXCAM_PATH_TWIN_1).c_str(), 0);
    vlx_test::MessageWindow window(kStateMessage);
    if (twin < 0 || v.Open(twin, 6, 0, 0, 0) != 0 || v.Play2() < 0) {
        std::printf("cannot open the twin camera (%d)\n", twin);
        return 1;
    }
    std::vector<double> notified, polled, reopened, opened;
    h.SetDeviceNotify(window.handle(), kStateMessage);
    for (int i = 0; i < kRounds; ++i) {
        double lost = 0, back = 0;
        if (!round(true, window, lost, back)) {
            std::printf("round %d failed\n", i);
            return 1;
        }
        notified.push_back(lost);
        reopened.push_back(back);
    }
    h.SetDeviceNotify(nullptr, 0);
    for (int i = 0; i < kRounds; ++i) {
        double lost = 0, back = 0;
        if (!round(false, window, lost, back)) {
            std::printf("polled round %d failed\n", i);
            return 1;
        }
        polled.push_back(lost);
        opened.push_back(open_to_frame(twin));
    }
    v.Close();
    v.Exit();
    const double notify_ms = vlx_bench::median(notified) * 1e3, poll_ms = vlx_bench::median(polled) * 1e3;
    const double reopen_ms = vlx_bench::median(reopened) * 1e3, open_ms = vlx_bench::median(opened) * 1e3;
    std::printf("unplug to the host's message: %.1f ms (median of %d); polling vlx_GetDeviceState: %.1f ms; "
                "ratio %.2f\n",
                notify_ms, kRounds, poll_ms, notify_ms / poll_ms);
    std::printf("replug to the first frame after vlx_Reopen: %.1f ms (median of %d); vlx_Open + vlx_Play2 to "
                "the first frame: %.1f ms; ratio %.2f\n",
                reopen_ms, kRounds, open_ms, reopen_ms / open_ms);
    return 0;
}
