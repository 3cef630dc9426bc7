// A COM interface pointer that is released when it goes out of scope.
#pragma once

namespace ui {

template <class T>
struct ComRef {
    T* p = nullptr;
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (p) p->Release();
    }
    T* operator->() const { return p; }
    // The place a call that hands out an interface writes it to.
    void** Out() { return reinterpret_cast<void**>(&p); }
};

} // namespace ui
