// A small owning holder for one COM interface reference.
#pragma once

#include <unknwn.h>

#include <cstddef>
#include <utility>

namespace vlx {

template <class T>
class ComPtr {
public:
    constexpr ComPtr() noexcept = default;
    constexpr ComPtr(std::nullptr_t) noexcept {}
    ComPtr(const ComPtr& other) noexcept : ptr_(other.ptr_) { add_ref(); }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ~ComPtr() { reset(); }

    ComPtr& operator=(const ComPtr& other) noexcept {
        if (this != &other) {
            ComPtr copy(other);
            swap(copy);
        }
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            ptr_ = std::exchange(other.ptr_, nullptr);
        }
        return *this;
    }

    // Takes over a reference the caller already owns.
    static ComPtr adopt(T* p) noexcept {
        ComPtr result;
        result.ptr_ = p;
        return result;
    }
    // Adds a reference of its own.
    static ComPtr share(T* p) noexcept {
        ComPtr result;
        result.ptr_ = p;
        result.add_ref();
        return result;
    }

    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

    // Out-parameter for a call that creates the object; any old reference is released first.
    T** put() noexcept {
        reset();
        return &ptr_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    void reset() noexcept {
        if (T* old = std::exchange(ptr_, nullptr)) old->Release();
    }
    T* detach() noexcept { return std::exchange(ptr_, nullptr); }
    void swap(ComPtr& other) noexcept { std::swap(ptr_, other.ptr_); }

    // Hands out one new reference through a raw out-parameter.
    void copy_to(T** out) const noexcept {
        add_ref();
        *out = ptr_;
    }

    template <class U>
    HRESULT query(ComPtr<U>& out) const noexcept {
        if (!ptr_) return E_POINTER;
        return ptr_->QueryInterface(__uuidof(U), out.put_void());
    }

private:
    void add_ref() const noexcept {
        if (ptr_) ptr_->AddRef();
    }

    T* ptr_ = nullptr;
};

}  // namespace vlx
