// Strong references to reference-counted objects.
//
// Ref<T> always holds an object; RefPtr<T> may be empty. Both retain what
// they hold and release it when they let go. adoptRef() takes over a
// reference that is already owned (a new object, or the result of a method
// of the alloc/new/copy family) without retaining it again.
#pragma once

#include <cassert>
#include <cstddef>
#include <type_traits>
#include <utility>

template <typename T>
class Ref;
template <typename T>
class RefPtr;
template <typename T>
Ref<T> adoptRef(T&);
template <typename T>
RefPtr<T> adoptRef(T*);

template <typename T>
class Ref {
public:
    Ref(T& object)
        : m_ptr(&object)
    {
        m_ptr->retain();
    }
    Ref(const Ref& other)
        : m_ptr(other.m_ptr)
    {
        m_ptr->retain();
    }
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Ref(const Ref<U>& other)
        : m_ptr(other.ptr())
    {
        m_ptr->retain();
    }
    Ref(Ref&& other) noexcept
        : m_ptr(other.leakRef())
    {
    }
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Ref(Ref<U>&& other) noexcept
        : m_ptr(other.leakRef())
    {
    }
    ~Ref()
    {
        if (m_ptr)
            m_ptr->release();
    }

    Ref& operator=(Ref other) noexcept
    {
        std::swap(m_ptr, other.m_ptr);
        return *this;
    }

    T* ptr() const noexcept { return m_ptr; }
    T& get() const noexcept { return *m_ptr; }
    T* operator->() const noexcept { return m_ptr; }
    T& operator*() const noexcept { return *m_ptr; }
    operator T*() const noexcept { return m_ptr; }

    // Gives up ownership without releasing; the caller now owns the reference.
    [[nodiscard]] T* leakRef() noexcept { return std::exchange(m_ptr, nullptr); }

private:
    friend Ref adoptRef<T>(T&);
    struct AdoptTag { };
    Ref(T& object, AdoptTag)
        : m_ptr(&object)
    {
    }

    T* m_ptr;
};

template <typename T>
class RefPtr {
public:
    constexpr RefPtr() noexcept = default;
    constexpr RefPtr(std::nullptr_t) noexcept { }
    RefPtr(T* object)
        : m_ptr(object)
    {
        if (m_ptr)
            m_ptr->retain();
    }
    RefPtr(const RefPtr& other)
        : RefPtr(other.m_ptr)
    {
    }
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    RefPtr(const RefPtr<U>& other)
        : RefPtr(other.get())
    {
    }
    RefPtr(RefPtr&& other) noexcept
        : m_ptr(other.leakRef())
    {
    }
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    RefPtr(RefPtr<U>&& other) noexcept
        : m_ptr(other.leakRef())
    {
    }
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    RefPtr(const Ref<U>& other)
        : RefPtr(other.ptr())
    {
    }
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    RefPtr(Ref<U>&& other) noexcept
        : m_ptr(other.leakRef())
    {
    }
    ~RefPtr()
    {
        if (m_ptr)
            m_ptr->release();
    }

    RefPtr& operator=(RefPtr other) noexcept
    {
        std::swap(m_ptr, other.m_ptr);
        return *this;
    }
    RefPtr& operator=(std::nullptr_t) noexcept
    {
        if (T* old = std::exchange(m_ptr, nullptr))
            old->release();
        return *this;
    }

    T* get() const noexcept { return m_ptr; }
    T* operator->() const noexcept
    {
        assert(m_ptr);
        return m_ptr;
    }
    T& operator*() const noexcept
    {
        assert(m_ptr);
        return *m_ptr;
    }
    explicit operator bool() const noexcept { return m_ptr; }
    operator T*() const noexcept { return m_ptr; }

    [[nodiscard]] T* leakRef() noexcept { return std::exchange(m_ptr, nullptr); }

private:
    friend RefPtr adoptRef<T>(T*);
    struct AdoptTag { };
    RefPtr(T* object, AdoptTag) noexcept
        : m_ptr(object)
    {
    }

    T* m_ptr = nullptr;
};

template <typename T>
inline Ref<T> adoptRef(T& object)
{
    return Ref<T>(object, typename Ref<T>::AdoptTag {});
}

template <typename T>
inline RefPtr<T> adoptRef(T* object)
{
    return RefPtr<T>(object, typename RefPtr<T>::AdoptTag {});
}

template <typename T, typename U>
inline bool operator==(const RefPtr<T>& a, const RefPtr<U>& b) { return a.get() == b.get(); }
template <typename T, typename U>
inline bool operator==(const RefPtr<T>& a, U* b) { return a.get() == b; }
template <typename T, typename U>
inline bool operator==(const Ref<T>& a, U* b) { return a.ptr() == b; }
