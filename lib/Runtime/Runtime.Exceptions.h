#pragma once
// The project's base exception and the standard exception classes the units derive from.

#include <exception>
#include <typeinfo>
#include <string>
#include <utility>

#include "Runtime.Format.h"

// Base of every exception the system raises. The message is UTF-8 text.
class Exception : public std::exception {
 public:
  Exception() = default;
  explicit Exception(std::string message) : FMessage(std::move(message)) {}
  template <class... Args>
  static Exception CreateFmt(std::string_view format, const Args&... args) {
    return Exception(Format(format, args...));
  }

  const std::string& Message() const noexcept { return FMessage; }
  void SetMessage(std::string message) { FMessage = std::move(message); }
  const char* what() const noexcept override { return FMessage.c_str(); }

  // The run-time class name without namespaces or enclosing classes, e.g. "EWrongMSXML".
  std::string ClassName() const;

 private:
  std::string FMessage;
};

// The C++ name of a type without namespaces and enclosing classes ("TConnection", "Exception").
std::string TypeName(const std::type_info& type);
// The run-time class name of any exception object, as Exception::ClassName gives it.
std::string ExceptionClassName(const std::exception& e);
// The text of any caught exception: the whole message of ours (what() stops at a NUL), what() of others.
std::string ExceptionText(const std::exception& e);

// Declares a plain exception class without fields of its own.
#define KV_DECLARE_EXCEPTION(Name, Base) \
  class Name : public Base {             \
   public:                               \
    using Base::Base;                    \
  }

KV_DECLARE_EXCEPTION(EConvertError, Exception);
KV_DECLARE_EXCEPTION(EAbstractError, Exception);
KV_DECLARE_EXCEPTION(EListError, Exception);
KV_DECLARE_EXCEPTION(EStringListError, Exception);
KV_DECLARE_EXCEPTION(EInvalidOperation, Exception);
KV_DECLARE_EXCEPTION(EStreamError, Exception);
KV_DECLARE_EXCEPTION(EReadError, EStreamError);
KV_DECLARE_EXCEPTION(EWriteError, EStreamError);
KV_DECLARE_EXCEPTION(EFOpenError, EStreamError);
KV_DECLARE_EXCEPTION(EFCreateError, EStreamError);

// Raised for a call of an operation that a class declares but does not implement.
[[noreturn]] void AbstractError();

// An internal consistency check that failed. Not part of the user-visible behaviour.
class EAssertionFailed : public Exception {
 public:
  EAssertionFailed(std::string text, std::string unitPath, int line);
  // The assertion's own text, or "Assertion failure".
  const std::string& Text() const { return FText; }
  // Source unit path relative to the source root without extension, e.g. "lib/Common/Common.Classes".
  const std::string& UnitPath() const { return FUnitPath; }
  int Line() const { return FLine; }

 private:
  std::string FText;
  std::string FUnitPath;
  int FLine;
};

namespace kv::detail {
[[noreturn]] void AssertionFailed(const char* text, const char* file, int line);
inline const char* AssertText() { return nullptr; }
inline const char* AssertText(const char* text) { return text; }
inline const char* AssertText(const std::string& text) { return text.c_str(); }
}  // namespace kv::detail

// ASSERT(condition) or ASSERT(condition, message): throws EAssertionFailed when the condition is false.
#define ASSERT(cond, ...) \
  ((cond) ? (void)0 : ::kv::detail::AssertionFailed(::kv::detail::AssertText(__VA_ARGS__), __FILE__, __LINE__))
