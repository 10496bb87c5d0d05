// The encoder registry: encoder objects under integer ids.
#pragma once

#include <cstdint>

namespace vlx {

int32_t start_media_foundation();
int32_t stop_media_foundation();
int32_t create_encoder();
int32_t open_encoder_id(int32_t id, const wchar_t* file_name, int32_t codec, int32_t width, int32_t height,
                        int32_t bits_per_pixel, double frame_rate, int32_t bit_rate);
int32_t write_encoder_id(int32_t id, const void* pixels, int32_t flip_vertical);
int32_t close_encoder_id(int32_t id);
int32_t delete_encoder_id(int32_t id);

inline constexpr int32_t kUnknownEncoder = -100;

#ifdef VLX_FAULT_INJECTION
// Moves the id counter, so tests can reach the end of the id range.
void set_last_encoder_id(int32_t id);
#endif

}  // namespace vlx
