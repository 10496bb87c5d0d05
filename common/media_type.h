// Ownership of AM_MEDIA_TYPE values and of the CoTaskMem blocks the platform
// hands out for them: the format block and pUnk travel with the type.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <utility>

namespace vlx {

// Frees the format block and releases pUnk; leaves `type` zeroed.
void free_media_type(AM_MEDIA_TYPE& type) noexcept;
// free_media_type, then CoTaskMemFree of the structure itself.
void delete_media_type(AM_MEDIA_TYPE* type) noexcept;
// Deep copy into `target` (which must hold nothing). E_OUTOFMEMORY on failure.
HRESULT copy_media_type(AM_MEDIA_TYPE& target, const AM_MEDIA_TYPE& source) noexcept;
// Deep copy into a new CoTaskMem structure, as enumerators hand them out.
AM_MEDIA_TYPE* clone_media_type(const AM_MEDIA_TYPE& source) noexcept;
// Whether `candidate` has the major type, subtype and format type that
// `pattern` sets; GUID_NULL in `pattern` leaves that field open, as in a
// partial type handed to IPin::Connect. Inline, so that a module which never
// negotiates a connection carries none of it.
inline bool matches_partial(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE& pattern) noexcept {
    auto field_matches = [](const GUID& wanted, const GUID& have) {
        return IsEqualGUID(wanted, GUID_NULL) || IsEqualGUID(wanted, have);
    };
    return field_matches(pattern.majortype, candidate.majortype) &&
           field_matches(pattern.subtype, candidate.subtype) &&
           field_matches(pattern.formattype, candidate.formattype);
}

// Whether `type` leaves anything open (GUID_NULL or no format block), as a
// partial type handed to IPin::Connect may.
inline bool is_partial(const AM_MEDIA_TYPE& type) noexcept {
    return IsEqualGUID(type.majortype, GUID_NULL) || IsEqualGUID(type.subtype, GUID_NULL) ||
           IsEqualGUID(type.formattype, GUID_NULL) || !type.pbFormat;
}

// Whether two types describe the same samples: every field and the format
// block's bytes (pUnk aside).
bool same_media_type(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) noexcept;

// A media type value, freed when it goes out of scope (the caller's side of
// GetConnectedMediaType and ConnectionMediaType).
class MediaType {
public:
    MediaType() noexcept = default;
    ~MediaType() { free_media_type(value_); }
    MediaType(const MediaType&) = delete;
    MediaType& operator=(const MediaType&) = delete;

    AM_MEDIA_TYPE* get() noexcept { return &value_; }
    const AM_MEDIA_TYPE* get() const noexcept { return &value_; }
    AM_MEDIA_TYPE* operator->() noexcept { return &value_; }
    const AM_MEDIA_TYPE* operator->() const noexcept { return &value_; }
    // The empty type again, for reuse as an out-parameter.
    AM_MEDIA_TYPE* reset() noexcept {
        free_media_type(value_);
        return &value_;
    }

private:
    AM_MEDIA_TYPE value_{};
};

// A CoTaskMem media type as GetStreamCaps and IEnumMediaTypes return it.
class MediaTypePtr {
public:
    MediaTypePtr() noexcept = default;
    ~MediaTypePtr() { delete_media_type(ptr_); }
    MediaTypePtr(const MediaTypePtr&) = delete;
    MediaTypePtr& operator=(const MediaTypePtr&) = delete;

    AM_MEDIA_TYPE* get() const noexcept { return ptr_; }
    AM_MEDIA_TYPE* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    AM_MEDIA_TYPE** put() noexcept {
        reset();
        return &ptr_;
    }
    void reset() noexcept { delete_media_type(std::exchange(ptr_, nullptr)); }

private:
    AM_MEDIA_TYPE* ptr_ = nullptr;
};

}  // namespace vlx
