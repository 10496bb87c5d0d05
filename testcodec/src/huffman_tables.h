// Motion-JPEG frames from many cameras leave out the Huffman tables (DHT):
// the AVI1 convention is that such a frame uses the standard tables of
// ITU T.81 Annex K.3. A JPEG decoder wants them in the stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vlxcodec {

enum class HuffmanTables { present, missing, malformed };

// Walks the marker segments up to the first start of scan.
HuffmanTables huffman_tables_of(const uint8_t* jpeg, size_t size);

// `jpeg` with the standard tables inserted in front of its start of scan,
// into `out`; false when the stream is malformed.
bool with_standard_huffman_tables(const uint8_t* jpeg, size_t size, std::vector<uint8_t>& out);

}  // namespace vlxcodec
