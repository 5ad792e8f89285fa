#pragma once
// The message of the exception of class E that an action raises, for comparing exact texts.
// Another project exception or none at all gives a text that names what happened instead.

#include <functional>
#include <string>
#include <type_traits>

#include "Runtime.Exceptions.h"

template <class E>
std::string MessageOf(const std::function<void()>& action) {
  static_assert(std::is_base_of_v<Exception, E>);
  try {
    action();
  } catch (const Exception& e) {
    if (dynamic_cast<const E*>(&e) != nullptr) return e.Message();
    return "(other error " + e.ClassName() + ": " + e.Message() + ")";
  }
  return "(no error)";
}
