#pragma once
// A value or an error message.

#include <string>
#include <utility>
#include <variant>

namespace vesk_core {

template <class T>
class Result {
 public:
  static Result success(T value) { return Result(std::in_place_index<0>, std::move(value)); }
  static Result failure(std::string message) { return Result(std::in_place_index<1>, std::move(message)); }

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }

  const std::string& error() const& { return std::get<1>(state_); }
  std::string&& error() && { return std::get<1>(std::move(state_)); }

 private:
  template <std::size_t I, class U>
  Result(std::in_place_index_t<I> tag, U&& value) : state_(tag, std::forward<U>(value)) {}
  std::variant<T, std::string> state_;
};

}  // namespace vesk_core
