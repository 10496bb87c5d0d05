#include "support/recording_sink_writer.h"

#include "encoder/sink_writer_factory.h"

#include <objbase.h>

#include <atomic>

namespace vlx_test {

namespace {

WriterBehaviour g_behaviour;
std::vector<std::shared_ptr<WriterRecord>> g_records;

HRESULT answer(const char* method) {
    const auto it = g_behaviour.failures.find(method);
    return it == g_behaviour.failures.end() ? S_OK : it->second;
}

class RecordingSinkWriter final : public IMFSinkWriter {
public:
    explicit RecordingSinkWriter(std::shared_ptr<WriterRecord> record) : record_(std::move(record)) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMFSinkWriter)) {
            *object = static_cast<IMFSinkWriter*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            record_->released = true;
            delete this;
        }
        return left;
    }

    STDMETHODIMP AddStream(IMFMediaType* type, DWORD* index) override {
        record_->output_type = snapshot(type);
        *index = 3;  // not 0, so that a stream index taken from elsewhere shows
        return answer("AddStream");
    }
    STDMETHODIMP SetInputMediaType(DWORD index, IMFMediaType* type, IMFAttributes*) override {
        record_->input_stream = index;
        record_->input_type = snapshot(type);
        return answer("SetInputMediaType");
    }
    STDMETHODIMP BeginWriting() override {
        record_->began = true;
        return answer("BeginWriting");
    }
    STDMETHODIMP WriteSample(DWORD index, IMFSample* sample) override {
        const HRESULT result = answer("WriteSample");
        if (FAILED(result)) return result;
        if (index != 3) return MF_E_INVALIDSTREAMNUMBER;
        WrittenSample written;
        sample->GetSampleTime(&written.time);
        sample->GetSampleDuration(&written.duration);
        if (g_behaviour.keep_bytes) {
            IMFMediaBuffer* buffer = nullptr;
            if (SUCCEEDED(sample->GetBufferByIndex(0, &buffer))) {
                BYTE* data = nullptr;
                DWORD length = 0;
                if (SUCCEEDED(buffer->Lock(&data, nullptr, &length))) {
                    written.bytes.assign(data, data + length);
                    buffer->Unlock();
                }
                buffer->Release();
            }
        }
        record_->samples.push_back(std::move(written));
        return S_OK;
    }
    STDMETHODIMP SendStreamTick(DWORD, LONGLONG) override { return E_NOTIMPL; }
    STDMETHODIMP PlaceMarker(DWORD, void*) override { return E_NOTIMPL; }
    STDMETHODIMP NotifyEndOfSegment(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Flush(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Finalize() override {
        ++record_->finalize_calls;
        return answer("Finalize");
    }
    STDMETHODIMP GetServiceForStream(DWORD, REFGUID, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP GetStatistics(DWORD, MF_SINK_WRITER_STATISTICS*) override { return E_NOTIMPL; }

private:
    ~RecordingSinkWriter() = default;
    std::atomic<ULONG> refs_{1};
    std::shared_ptr<WriterRecord> record_;
};

HRESULT create_recording_writer(const wchar_t* url, IMFAttributes* attributes, IMFSinkWriter** writer) {
    auto record = std::make_shared<WriterRecord>();
    record->url = url ? url : L"";
    record->had_attributes = attributes != nullptr;
    if (attributes) record->creation_attributes = snapshot(attributes);
    g_records.push_back(record);
    *writer = nullptr;
    if (SUCCEEDED(g_behaviour.create) || g_behaviour.writer_despite_failure) {
        *writer = new RecordingSinkWriter(record);
    }
    return g_behaviour.create;
}

}  // namespace

std::string guid_key(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return std::string(text, text + 38);
}

Attributes snapshot(IMFAttributes* attributes) {
    Attributes result;
    UINT32 count = 0;
    attributes->GetCount(&count);
    for (UINT32 i = 0; i < count; ++i) {
        GUID key;
        PROPVARIANT value;
        PropVariantInit(&value);
        if (FAILED(attributes->GetItemByIndex(i, &key, &value))) continue;
        AttributeValue v{};
        attributes->GetItemType(key, &v.type);
        if (v.type == MF_ATTRIBUTE_UINT32) attributes->GetUINT32(key, &v.u32);
        if (v.type == MF_ATTRIBUTE_UINT64) attributes->GetUINT64(key, &v.u64);
        if (v.type == MF_ATTRIBUTE_GUID) attributes->GetGUID(key, &v.guid);
        result[guid_key(key)] = v;
        PropVariantClear(&value);
    }
    return result;
}

RecordingSinkWriters::RecordingSinkWriters(WriterBehaviour behaviour) {
    g_behaviour = std::move(behaviour);
    g_records.clear();
    vlx::replace_sink_writer_factory(&create_recording_writer);
}

RecordingSinkWriters::~RecordingSinkWriters() {
    vlx::replace_sink_writer_factory(nullptr);
    g_behaviour = {};
}

WriterBehaviour& RecordingSinkWriters::behaviour() { return g_behaviour; }

const std::vector<std::shared_ptr<WriterRecord>>& RecordingSinkWriters::records() const { return g_records; }

}  // namespace vlx_test
