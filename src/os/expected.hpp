#pragma once
// The result type of everything that can fail: a value or an error. It is
// C++23's std::expected wherever the standard library has it. clang 14 over
// libstdc++ 12 does not (its <expected> needs newer concepts support), so
// there the few members the editor uses are provided here, with the same
// meaning, and code written against either compiles against both.

#include <version>

#if defined(__cpp_lib_expected)

#include <expected>

using std::expected;
using std::unexpected;

#else

// clang-format 14 cannot lay out requires-clauses yet.
// clang-format off

#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

template <class E>
class unexpected {
public:
    template <class Err = E>
        requires(!std::is_same_v<std::remove_cvref_t<Err>, unexpected> && std::is_constructible_v<E, Err>)
    constexpr explicit unexpected(Err&& error) : error_(std::forward<Err>(error))
    {
    }
    constexpr const E& error() const& noexcept { return error_; }
    constexpr E& error() & noexcept { return error_; }
    constexpr E&& error() && noexcept { return std::move(error_); }

    template <class G>
    friend constexpr bool operator==(const unexpected& a, const unexpected<G>& b)
    {
        return a.error() == b.error();
    }

private:
    E error_;
};

template <class T>
inline constexpr bool is_unexpected = false;
template <class E>
inline constexpr bool is_unexpected<unexpected<E>> = true;

template <class E>
unexpected(E) -> unexpected<E>;

// What value() throws when there is none.
class bad_expected_access : public std::exception {
public:
    const char* what() const noexcept override { return "bad expected access"; }
};

template <class T, class E>
class expected {
public:
    using value_type = T;
    using error_type = E;

    constexpr expected()
        requires std::is_default_constructible_v<T>
        : state_(std::in_place_index<0>)
    {
    }
    template <class U = T>
        requires(!std::is_same_v<std::remove_cvref_t<U>, expected> &&
                 !std::is_same_v<std::remove_cvref_t<U>, std::in_place_t> && std::is_constructible_v<T, U>)
    constexpr expected(U&& value) : state_(std::in_place_index<0>, std::forward<U>(value))
    {
    }
    template <class G>
    constexpr expected(const unexpected<G>& failure) : state_(std::in_place_index<1>, failure.error())
    {
    }
    template <class G>
    constexpr expected(unexpected<G>&& failure) : state_(std::in_place_index<1>, std::move(failure).error())
    {
    }

    constexpr bool has_value() const noexcept { return state_.index() == 0; }
    constexpr explicit operator bool() const noexcept { return has_value(); }

    constexpr T& operator*() & { return std::get<0>(state_); }
    constexpr const T& operator*() const& { return std::get<0>(state_); }
    constexpr T&& operator*() && { return std::get<0>(std::move(state_)); }
    constexpr T* operator->() { return std::addressof(std::get<0>(state_)); }
    constexpr const T* operator->() const { return std::addressof(std::get<0>(state_)); }

    constexpr T& value() &
    {
        if (!has_value()) throw bad_expected_access();
        return **this;
    }
    constexpr const T& value() const&
    {
        if (!has_value()) throw bad_expected_access();
        return **this;
    }
    constexpr T&& value() &&
    {
        if (!has_value()) throw bad_expected_access();
        return std::move(**this);
    }
    template <class U>
    constexpr T value_or(U&& fallback) const&
    {
        return has_value() ? **this : static_cast<T>(std::forward<U>(fallback));
    }

    constexpr E& error() & { return std::get<1>(state_); }
    constexpr const E& error() const& { return std::get<1>(state_); }
    constexpr E&& error() && { return std::get<1>(std::move(state_)); }

    template <class U>
        requires(!is_unexpected<U> && !std::is_same_v<U, expected>)
    friend constexpr bool operator==(const expected& x, const U& value)
    {
        return x.has_value() && *x == value;
    }
    template <class G>
    friend constexpr bool operator==(const expected& x, const unexpected<G>& failure)
    {
        return !x.has_value() && x.error() == failure.error();
    }

private:
    std::variant<T, E> state_;
};

template <class E>
class expected<void, E> {
public:
    using value_type = void;
    using error_type = E;

    constexpr expected() = default;
    template <class G>
    constexpr expected(const unexpected<G>& failure) : error_(std::in_place, failure.error())
    {
    }
    template <class G>
    constexpr expected(unexpected<G>&& failure) : error_(std::in_place, std::move(failure).error())
    {
    }

    constexpr bool has_value() const noexcept { return !error_.has_value(); }
    constexpr explicit operator bool() const noexcept { return has_value(); }
    constexpr void operator*() const noexcept {}
    constexpr void value() const
    {
        if (!has_value()) throw bad_expected_access();
    }

    constexpr E& error() & { return *error_; }
    constexpr const E& error() const& { return *error_; }
    constexpr E&& error() && { return std::move(*error_); }

    template <class G>
    friend constexpr bool operator==(const expected& x, const unexpected<G>& failure)
    {
        return !x.has_value() && x.error() == failure.error();
    }

private:
    std::optional<E> error_;
};

// clang-format on

#endif
