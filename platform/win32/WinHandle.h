#pragma once
// One owning wrapper per Win32 handle kind: the handle is released exactly
// once, by the wrapper's destructor or by reset(); wrappers move, never copy.
#include <windows.h>

#include <utility>

namespace t7::win32 {

template <class H, class Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(H handle) : m_handle(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, Traits::none())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            m_handle = std::exchange(other.m_handle, Traits::none());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    H get() const { return m_handle; }
    explicit operator bool() const { return Traits::valid(m_handle); }
    // Releases the handle held and returns the place for a new one, for the
    // API calls that return a handle through a pointer.
    H* receive() {
        reset();
        return &m_handle;
    }
    void reset() {
        if (Traits::valid(m_handle)) Traits::close(m_handle);
        m_handle = Traits::none();
    }

private:
    H m_handle = Traits::none();
};

struct RegKeyTraits {
    static HKEY none() { return nullptr; }
    static bool valid(HKEY key) { return key != nullptr; }
    static void close(HKEY key) { RegCloseKey(key); }
};

struct KernelHandleTraits {
    static HANDLE none() { return nullptr; }
    static bool valid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void close(HANDLE handle) { CloseHandle(handle); }
};

// A registry key opened or created by the program.
using RegKey = UniqueHandle<HKEY, RegKeyTraits>;
// A kernel object: process, thread, file.
using KernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;

}  // namespace t7::win32
