#include "Runtime.Exceptions.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

std::string TypeName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                   std::free);
  std::string name = status == 0 && demangled ? demangled.get() : type.name();
  // The last "::" outside template arguments ends the namespaces and enclosing classes, so that
  // nested classes such as TConnectionsPool::Exception keep only their own name, as in the messages.
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i + 1 < name.size(); ++i) {
    if (name[i] == '<') ++depth;
    if (name[i] == '>') --depth;
    if (depth == 0 && name[i] == ':' && name[i + 1] == ':') start = i + 2;
  }
  return name.substr(start);
}

std::string ExceptionClassName(const std::exception& e) { return TypeName(typeid(e)); }

std::string ExceptionText(const std::exception& e) {
  const auto* ours = dynamic_cast<const Exception*>(&e);
  return ours ? ours->Message() : e.what();
}

std::string Exception::ClassName() const { return ExceptionClassName(*this); }

void AbstractError() { throw EAbstractError("Abstract Error"); }

namespace {
std::string UnitPathOf(const char* file) {
  std::string path = file;
  const std::string root = KV_SOURCE_ROOT;
  if (path.compare(0, root.size(), root) == 0) path.erase(0, root.size());
  // A compiler cache or a prefix map may give paths relative to the build folder.
  while (path.compare(0, 3, "../") == 0 || path.compare(0, 2, "./") == 0) path.erase(0, path[1] == '/' ? 2 : 3);
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
