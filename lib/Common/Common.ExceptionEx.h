#pragma once
// An exception that keeps the exception being handled when it is created as its inner exception,
// so that a failure can be raised again with a higher-level message without losing the cause.

#include <exception>
#include <string>
#include <string_view>

#include "Runtime.Exceptions.h"
#include "Runtime.StringList.h"

class ExceptionEx : public Exception {
 public:
  // Every constructor takes the exception the calling thread is handling, when there is one and
  // it derives from std::exception. Copies share the inner exception (the chain stays alive as
  // long as any copy does), so thrown and caught copies report the same chain.
  ExceptionEx();
  explicit ExceptionEx(std::string message);

  // The exception that was being handled at construction, or nullptr.
  const std::exception* InnerException() const noexcept { return FInner; }
  // The same exception for std::rethrow_exception; null when there is none.
  const std::exception_ptr& InnerExceptionPtr() const noexcept { return FInnerException; }

  // The innermost exception of the chain; an ExceptionEx without inner exception is its own.
  virtual const std::exception& BaseException() const;

  // Appends one line per exception of the chain, the outermost first, each with its exception
  // attached as the line's object (a `const std::exception*`).
  void GetExceptionsChain(TStringList& Dest) const;
  // The chain's messages, every one followed by CR LF.
  std::string GetMessageList() const;

 private:
  std::exception_ptr FInnerException;  // owns the inner exception
  const std::exception* FInner = nullptr;  // points into FInnerException's object
};

// "[ClassName]Message" with the run-time class name of E.
std::string FormatClassNameAndMessage(const std::exception& E);
// Replaces E's message by "OpName: message".
void PrefixOperationName(Exception& E, std::string_view OpName);
