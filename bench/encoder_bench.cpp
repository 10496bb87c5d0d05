// vlx_WriteEncoder per frame at 1920x1080, 24 bits, against one memcpy of the
// frame in the same run, with and without row reversal. The recording writer
// stands in for the sink writer (and keeps no bytes), so the figures are the
// library's own work: buffer, copy, sample.
#include "bench_support.h"
#include "support/recording_sink_writer.h"
#include "vidlox.h"

#include <cstdio>
#include <cstring>
#include <vector>

int main() {
    constexpr int32_t kWidth = 1920, kHeight = 1080;
    constexpr size_t kFrameBytes = size_t{kWidth} * 3 * kHeight;
    constexpr int kFrames = 300;

    vlx_test::WriterBehaviour behaviour;
    behaviour.keep_bytes = false;
    vlx_test::RecordingSinkWriters writers(behaviour);
    vlx_InitEncoder();
    const int32_t id = vlx_CreateEncoder();
    if (vlx_OpenEncoder(id, L"bench.mp4", 2, kWidth, kHeight, 24, 30.0, 8000000) != 0) {
        std::fprintf(stderr, "cannot open the encoder\n");
        return 1;
    }
    std::vector<uint8_t> frame(kFrameBytes, 0x40);
    for (int i = 0; i < 10; ++i) vlx_WriteEncoder(id, frame.data(), 0);  // warm the allocator

    const double copy = vlx_bench::memcpy_seconds(kFrameBytes, kFrames);
    // The floor when every frame gets a buffer of its own, as each write
    // does: a new 6 MB Media Foundation buffer, one copy into it, release.
    const double fresh_start = vlx_bench::now_seconds();
    for (int i = 0; i < kFrames; ++i) {
        IMFMediaBuffer* buffer = nullptr;
        BYTE* target = nullptr;
        MFCreateMemoryBuffer(static_cast<DWORD>(kFrameBytes), &buffer);
        buffer->Lock(&target, nullptr, nullptr);
        std::memcpy(target, frame.data(), kFrameBytes);
        buffer->Unlock();
        buffer->Release();
    }
    const double fresh = (vlx_bench::now_seconds() - fresh_start) / kFrames;
    std::printf("fresh 6 MB buffer + one copy: %.3f ms per frame, ratio to memcpy %.2f\n", fresh * 1e3, fresh / copy);
    for (int reverse = 0; reverse < 2; ++reverse) {
        const double start = vlx_bench::now_seconds();
        for (int i = 0; i < kFrames; ++i) vlx_WriteEncoder(id, frame.data(), reverse);
        const double per_frame = (vlx_bench::now_seconds() - start) / kFrames;
        std::printf("vlx_WriteEncoder 1920x1080x24 %-15s %.3f ms per frame, memcpy %.3f ms, ratio %.2f "
                    "(%.2f of the fresh-buffer floor)\n",
                    reverse ? "rows reversed:" : "rows as given:", per_frame * 1e3, copy * 1e3, per_frame / copy,
                    per_frame / fresh);
    }
    vlx_CloseEncoder(id);
    vlx_DeleteEncoder(id);
    vlx_UnInitEncoder();
    return 0;
}
