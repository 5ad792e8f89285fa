#include "Common.ExceptionEx.h"

#include "Runtime.Format.h"

namespace {
// Rethrowing is the only portable way from an exception_ptr to the object. libstdc++ rethrows
// the object itself (not a copy), so the address stays valid while the exception_ptr lives.
const std::exception* StdExceptionOf(const std::exception_ptr& p) {
  try {
    std::rethrow_exception(p);
  } catch (const std::exception& e) {
    return &e;
  } catch (...) {
    return nullptr;
  }
}
}  // namespace

ExceptionEx::ExceptionEx() : ExceptionEx(std::string()) {}

ExceptionEx::ExceptionEx(std::string message) : Exception(std::move(message)) {
  if (std::exception_ptr handled = std::current_exception()) {
    if (const std::exception* e = StdExceptionOf(handled)) {
      FInnerException = std::move(handled);
      FInner = e;
    }
  }
}

const std::exception& ExceptionEx::BaseException() const {
  const std::exception* e = this;
  while (auto ex = dynamic_cast<const ExceptionEx*>(e)) {
    if (!ex->InnerException()) break;
    e = ex->InnerException();
  }
  return *e;
}

void ExceptionEx::GetExceptionsChain(TStringList& Dest) const {
  const std::exception* e = this;
  while (e) {
    Dest.AddObject(e->what(), e);
    auto ex = dynamic_cast<const ExceptionEx*>(e);
    e = ex ? ex->InnerException() : nullptr;
  }
}

std::string ExceptionEx::GetMessageList() const {
  TStringList list;
  GetExceptionsChain(list);
  return list.Text();
}

std::string FormatClassNameAndMessage(const std::exception& E) {
  return Format("[%s]%s", ExceptionClassName(E), E.what());
}

void PrefixOperationName(Exception& E, std::string_view OpName) {
  E.SetMessage(Format("%s: %s", OpName, E.Message()));
}
