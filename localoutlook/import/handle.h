#pragma once

// Owners of the C handles of libpff and libolecf: each frees what it holds when it goes. Both
// libraries free a handle with free(T**, error_t**) and an error with free(error_t**).

#include <utility>

namespace localoutlook::import {

/// The error slot of one library call, freed when it goes or is reused.
template <typename E, auto Free> class LibraryError
{
public:
    LibraryError() = default;
    LibraryError(const LibraryError&) = delete;
    LibraryError& operator=(const LibraryError&) = delete;
    ~LibraryError() { Free(&m_error); }
    /// The slot for the next call, emptied first.
    E** out()
    {
        Free(&m_error);
        return &m_error;
    }

private:
    E* m_error = nullptr;
};

/// An owned handle.
template <typename T, auto Free> class LibraryHandle
{
public:
    LibraryHandle() = default;
    LibraryHandle(const LibraryHandle&) = delete;
    LibraryHandle& operator=(const LibraryHandle&) = delete;
    LibraryHandle(LibraryHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr))
    {
    }
    LibraryHandle& operator=(LibraryHandle&& other) noexcept
    {
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    ~LibraryHandle()
    {
        if (m_handle)
            Free(&m_handle, nullptr);
    }
    T* get() const { return m_handle; }
    /// The slot a library call fills; empty it first when reusing the owner.
    T** out() { return &m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    T* m_handle = nullptr;
};

} // namespace localoutlook::import
