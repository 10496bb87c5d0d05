// A recording IMFSinkWriter for the test build: it stands in for the one
// call Wine cannot make (creating a sink writer for a file) and records what
// the encoder hands it. Media types, buffers and samples stay the platform's
// real Media Foundation objects.
#pragma once

#include "common/media_foundation.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vlx_test {

struct AttributeValue {
    MF_ATTRIBUTE_TYPE type;
    UINT32 u32 = 0;
    UINT64 u64 = 0;
    GUID guid{};
    bool operator==(const AttributeValue&) const = default;
};
using Attributes = std::map<std::string, AttributeValue>;  // keyed by GUID text

std::string guid_key(const GUID& guid);
Attributes snapshot(IMFAttributes* attributes);

struct WrittenSample {
    LONGLONG time = -1;
    LONGLONG duration = -1;
    std::vector<uint8_t> bytes;
};

// What one writer saw, kept after the writer itself is gone.
struct WriterRecord {
    std::wstring url;
    bool had_attributes = false;
    Attributes creation_attributes;
    Attributes output_type;
    Attributes input_type;
    DWORD input_stream = 99;
    bool began = false;
    std::vector<WrittenSample> samples;
    int finalize_calls = 0;
    bool released = false;
};

struct WriterBehaviour {
    HRESULT create = S_OK;            // what the creation answers
    bool writer_despite_failure = false;
    std::map<std::string, HRESULT> failures;  // method name -> answer
    bool keep_bytes = true;
};

// Installs the recording writer behind the encoder's creation seam for the
// life of this object.
class RecordingSinkWriters {
public:
    explicit RecordingSinkWriters(WriterBehaviour behaviour = {});
    ~RecordingSinkWriters();

    WriterBehaviour& behaviour();
    const std::vector<std::shared_ptr<WriterRecord>>& records() const;
    WriterRecord& last() const { return *records().back(); }
};

}  // namespace vlx_test
