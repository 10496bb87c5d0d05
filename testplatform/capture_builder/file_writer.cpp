#include "file_writer.h"

#include "comkit/filter_base.h"

#include <cstring>
#include <string>

namespace vlxtp {

using namespace vlxcom;

namespace {

// {6F9B1C2E-4B1D-4E0A-9C55-7A1D2B3C4D01}: identifies the writer in graphs;
// never registered.
constexpr CLSID kFileWriterClsid = {0x6f9b1c2e, 0x4b1d, 0x4e0a, {0x9c, 0x55, 0x7a, 0x1d, 0x2b, 0x3c, 0x4d, 0x01}};

class FileWriter;

// The input pin: a byte stream (MEDIATYPE_Stream) that the mux writes and
// seeks through IStream, or delivers as samples whose times are byte
// offsets (the stream renderer convention).
class StreamPin final : public InputPin, public IStream {
public:
    explicit StreamPin(FileWriter& writer);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return InputPin::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return InputPin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return InputPin::Release(); }

    // ISequentialStream
    STDMETHODIMP Read(void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    STDMETHODIMP Write(const void* data, ULONG size, ULONG* written) override;
    // IStream
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP Commit(DWORD) override { return S_OK; }
    STDMETHODIMP Revert() override { return E_NOTIMPL; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

protected:
    bool accepts(const AM_MEDIA_TYPE& type) const override {
        return IsEqualGUID(type.majortype, MEDIATYPE_Stream) || IsEqualGUID(type.majortype, GUID_NULL);
    }
    HRESULT receive(IMediaSample* sample) override;
    HRESULT other_interface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IStream) || IsEqualIID(iid, IID_ISequentialStream))
            return hand_out<IStream>(this, out);
        return InputPin::other_interface(iid, out);
    }

private:
    FileWriter& writer_;
};

class FileWriter final : public Filter, public IFileSinkFilter {
public:
    explicit FileWriter(std::wstring file_name) : Filter(kFileWriterClsid), pin_(*this), file_name_(std::move(file_name)) {}
    ~FileWriter() override { close(); }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return Filter::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return Filter::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Filter::Release(); }

    // IFileSinkFilter
    STDMETHODIMP SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE*) override {
        if (!name) return E_POINTER;
        std::lock_guard guard(file_lock_);
        return com_guard([&] {
            file_name_ = name;
            return S_OK;
        });
    }
    STDMETHODIMP GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) override;

    HRESULT write(const void* data, ULONG size, ULONG* written);
    HRESULT seek(LONGLONG move, DWORD origin, ULARGE_INTEGER* position);

protected:
    std::vector<IPin*> pins() override { return {static_cast<InputPin*>(&pin_)}; }
    HRESULT on_start() override;
    HRESULT other_interface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IFileSinkFilter)) return hand_out<IFileSinkFilter>(this, out);
        return Filter::other_interface(iid, out);
    }

private:
    void close() {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }

    StreamPin pin_;
    std::mutex file_lock_;  // the mux writes from its streaming thread and from Stop
    std::wstring file_name_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

StreamPin::StreamPin(FileWriter& writer) : InputPin(writer, L"in"), writer_(writer) {}

STDMETHODIMP StreamPin::Write(const void* data, ULONG size, ULONG* written) {
    if (!data) return STG_E_INVALIDPOINTER;
    return writer_.write(data, size, written);
}

STDMETHODIMP StreamPin::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
    return writer_.seek(move.QuadPart, origin, position);
}

HRESULT StreamPin::receive(IMediaSample* sample) {
    REFERENCE_TIME start = 0, stop = 0;
    BYTE* data = nullptr;
    HRESULT hr = sample->GetTime(&start, &stop);
    if (SUCCEEDED(hr) && (start < 0 || stop < start || stop - start > sample->GetActualDataLength())) hr = E_INVALIDARG;
    if (SUCCEEDED(hr)) hr = sample->GetPointer(&data);
    if (SUCCEEDED(hr)) hr = writer_.seek(start, STREAM_SEEK_SET, nullptr);
    if (SUCCEEDED(hr)) hr = writer_.write(data, static_cast<ULONG>(stop - start), nullptr);
    return hr;
}

STDMETHODIMP FileWriter::GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) {
    if (!name) return E_POINTER;
    std::lock_guard guard(file_lock_);
    const size_t bytes = (file_name_.size() + 1) * sizeof(wchar_t);
    *name = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!*name) return E_OUTOFMEMORY;
    std::memcpy(*name, file_name_.c_str(), bytes);
    if (type) {
        *type = AM_MEDIA_TYPE{};
        type->majortype = MEDIATYPE_Stream;
        type->subtype = MEDIASUBTYPE_Avi;
    }
    return S_OK;
}

HRESULT FileWriter::on_start() {
    std::lock_guard guard(file_lock_);
    close();
    file_ = CreateFileW(file_name_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    return file_ == INVALID_HANDLE_VALUE ? HRESULT_FROM_WIN32(GetLastError()) : S_OK;
}

HRESULT FileWriter::write(const void* data, ULONG size, ULONG* written) {
    std::lock_guard guard(file_lock_);
    if (file_ == INVALID_HANDLE_VALUE) return E_UNEXPECTED;
    DWORD done = 0;
    if (!WriteFile(file_, data, size, &done, nullptr)) return HRESULT_FROM_WIN32(GetLastError());
    if (written) *written = done;
    return done == size ? S_OK : STG_E_MEDIUMFULL;
}

HRESULT FileWriter::seek(LONGLONG move, DWORD origin, ULARGE_INTEGER* position) {
    static_assert(STREAM_SEEK_SET == FILE_BEGIN && STREAM_SEEK_CUR == FILE_CURRENT && STREAM_SEEK_END == FILE_END);
    if (origin > STREAM_SEEK_END) return STG_E_INVALIDFUNCTION;
    std::lock_guard guard(file_lock_);
    if (file_ == INVALID_HANDLE_VALUE) return E_UNEXPECTED;
    LARGE_INTEGER distance, reached;
    distance.QuadPart = move;
    if (!SetFilePointerEx(file_, distance, &reached, origin)) return HRESULT_FROM_WIN32(GetLastError());
    if (position) position->QuadPart = static_cast<ULONGLONG>(reached.QuadPart);
    return S_OK;
}

}  // namespace

HRESULT create_file_writer(const wchar_t* file_name, IBaseFilter** out) {
    if (!file_name || !out) return E_POINTER;
    return create_object<FileWriter>(IID_IBaseFilter, reinterpret_cast<void**>(out), file_name);
}

}  // namespace vlxtp
