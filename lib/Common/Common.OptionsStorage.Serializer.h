#pragma once
// Saves an object's properties into an options section and loads them back, driven by the type
// information of its class (Common.RTTIPropList). A property takes part when it is public or
// published, writable, and carries no TNotSerializeAttribute; properties are visited own class
// first, then each ancestor.
//
// Stored forms: integers as decimal text (0 left out), enumerations and Booleans by identifier
// ("True", "False"), floats in the user's number format, strings (empty ones left out), sets as
// their members' identifiers joined by ",", records as a child section of their properties and
// fields, arrays as a child section with one section "Item<i>" per element (plain elements under
// "Value" in it). Object references and the other kinds are neither written nor read.

#include "Common.OptionsStorage.h"
#include "Common.RTTIPropList.h"

class TOptionsSerializer {
 public:
  TOptionsSerializer() = delete;

  // Writes every serializable property as a value or child section of the writer's section.
  // A serializable property without type information raises EAttributeError.
  static void SerializeObject(IOptionsWriter& Writer, const TObjectRef& AObject);
  // Reads every serializable property with its current value as the default and assigns the
  // result through its writer, also when nothing was stored. Nothing is rolled back on failure.
  static void DeserializeObject(const IOptionsReader& Reader, const TObjectRef& AObject);

  template <class T>
    requires requires(const T& Object) { Object.ObjectRef(); }
  static void SerializeObject(IOptionsWriter& Writer, const T& AObject) {
    SerializeObject(Writer, AObject.ObjectRef());
  }
  template <class T>
    requires requires(T& Object) { Object.ObjectRef(); }
  static void DeserializeObject(const IOptionsReader& Reader, T& AObject) {
    DeserializeObject(Reader, AObject.ObjectRef());
  }
};
