#include "Runtime.Exceptions.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

std::string ExceptionClassName(const std::exception& e) {
  const char* mangled = typeid(e).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                   std::free);
  std::string name = (status == 0 && demangled) ? demangled.get() : mangled;
  // Nested classes such as TConnectionsPool::Exception keep only their own name, as in the messages.
  if (auto pos = name.rfind("::"); pos != std::string::npos) name.erase(0, pos + 2);
  return name;
}

std::string Exception::ClassName() const { return ExceptionClassName(*this); }

void AbstractError() { throw EAbstractError("Abstract Error"); }

namespace {
std::string UnitPathOf(const char* file) {
  std::string path = file;
  const std::string root = KV_SOURCE_ROOT;
  if (path.compare(0, root.size(), root) == 0) path.erase(0, root.size());
  auto slash = path.rfind('/');
  auto dot = path.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.erase(dot);
  return path;
}
}  // namespace

EAssertionFailed::EAssertionFailed(std::string text, std::string unitPath, int line)
    : Exception(Format("%s (%s, line %d)", text, unitPath, line)),
      FText(std::move(text)),
      FUnitPath(std::move(unitPath)),
      FLine(line) {}

namespace kv::detail {
void AssertionFailed(const char* text, const char* file, int line) {
  throw EAssertionFailed(text && *text ? text : "Assertion failure", UnitPathOf(file), line);
}
}  // namespace kv::detail
