#include "Common.Attributes.h"

#include "Runtime.Format.h"
#include "Runtime.Strings.h"

namespace {
constexpr std::string_view SAttributesPrefix = "Чтение аттрибутов: ";
constexpr const char* SAttributeByClassNotFound = "Аттрибут класса \"%s\" не найден";
constexpr const char* SPropWithAttrNotFound =
    "Не удалось найти свойство экземпляра класса %s, помеченное аттрибутом %s";
constexpr const char* SRttiNotPresented = "Отсутствует RTTI";

std::string WithPrefix(std::string Message) {
  if (StartsStr(SAttributesPrefix, Message)) return Message;
  return std::string(SAttributesPrefix) + Message;
}
}  // namespace

EAttributeError::EAttributeError(std::string Message) : Exception(WithPrefix(std::move(Message))) {}

EAttributeError EAttributeError::AttributeByClassNotFound(std::string_view AttributeClass) {
  return EAttributeError(Format(SAttributeByClassNotFound, AttributeClass));
}

EAttributeError EAttributeError::PropWithAttrNotFound(std::string_view ObjClass, std::string_view AttrClass) {
  return EAttributeError(Format(SPropWithAttrNotFound, ObjClass, AttrClass));
}

EAttributeError EAttributeError::RttiNotPresented() { return EAttributeError(SRttiNotPresented); }
