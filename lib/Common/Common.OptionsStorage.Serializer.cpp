#include "Common.OptionsStorage.Serializer.h"

#include "Common.Attributes.h"
#include "Runtime.StringList.h"

namespace {
constexpr const char* kItemPrefix = "Item";
constexpr const char* kItemValueName = "Value";
// Only so many set members fit the stored form's 32-bit set.
constexpr int kMaxStoredSetSize = 4;
constexpr int kMaxStoredSetMembers = 32;

bool IsSerializable(const TMemberInfo& Property) {
  return (Property.Visibility() == mvPublic || Property.Visibility() == mvPublished) &&
         !HasAttribute<TNotSerializeAttribute>(Property.Attributes()) && Property.IsWritable();
}

const TTypeInfo& TypeOf(const TMemberInfo& Member) {
  if (!Member.Type()) throw EAttributeError::RttiNotPresented();
  return *Member.Type();
}

bool IsStructured(const TTypeInfo& Type) {
  return Type.Kind() == tkRecord || Type.Kind() == tkArray || Type.Kind() == tkDynArray;
}

std::string ItemName(std::size_t Index) { return kItemPrefix + std::to_string(Index); }

// A record's properties, then its fields.
template <class F>
void ForEachRecordMember(const TRecordInfo& Record, F Action) {
  for (const auto& property : Record.Properties()) Action(*property);
  for (const auto& field : Record.Fields()) Action(*field);
}

// --- writing -----------------------------------------------------------------------------------

void WriteValue(IOptionsWriter& Writer, const std::string& Name, const TTypeInfo& Type, const std::any& Value);

// The members of a record, or the elements of an array, into the section of Writer.
void WriteContents(IOptionsWriter& Writer, const TTypeInfo& Type, const std::any& Value) {
  if (Type.Kind() == tkRecord) {
    const auto& record = static_cast<const TRecordTypeInfo&>(Type);
    const void* data = record.Data(Value);
    ForEachRecordMember(record.RecordInfo(), [&](const TMemberInfo& member) {
      WriteValue(Writer, member.Name(), TypeOf(member), member.GetValue(data));
    });
    return;
  }
  const auto& array = static_cast<const TArrayTypeInfo&>(Type);
  const TTypeInfo& elementType = array.ElementType();
  for (std::size_t i = 0, count = array.Count(Value); i < count; ++i) {
    auto item = Writer.OpenSubkey(ItemName(i));
    if (IsStructured(elementType))
      WriteContents(*item, elementType, array.Element(Value, i));
    else
      WriteValue(*item, kItemValueName, elementType, array.Element(Value, i));
  }
}

std::string SetMemberList(const TSetTypeInfo& Type, std::uint64_t Bits) {
  const TEnumerationTypeInfo& members = Type.ElementType();
  std::string list;
  for (int position = 0; position < kMaxStoredSetMembers && position <= members.MaxValue() - members.MinValue();
       ++position) {
    if (!(Bits & (std::uint64_t(1) << position))) continue;
    if (!list.empty()) list += ',';
    list += members.NameOf(members.MinValue() + position);
  }
  return list;
}

void WriteValue(IOptionsWriter& Writer, const std::string& Name, const TTypeInfo& Type, const std::any& Value) {
  switch (Type.Kind()) {
    case tkInteger:
      Writer.WriteInteger(Name, static_cast<std::int32_t>(static_cast<const TOrdinalTypeInfo&>(Type).GetOrdinal(Value)),
                          0);
      break;
    case tkEnumeration: {
      const auto& enumeration = static_cast<const TEnumerationTypeInfo&>(Type);
      Writer.WriteString(Name, enumeration.NameOf(enumeration.GetOrdinal(Value)), "");
      break;
    }
    case tkFloat:
      Writer.WriteFloat(Name, static_cast<const TFloatTypeInfo&>(Type).GetFloat(Value), 0);
      break;
    case tkString:
    case tkLString:
    case tkWString:
    case tkUString:
      Writer.WriteString(Name, static_cast<const TStringTypeInfo&>(Type).GetString(Value), "");
      break;
    case tkSet: {
      const auto& set = static_cast<const TSetTypeInfo&>(Type);
      ASSERT(set.Size() <= kMaxStoredSetSize, "a set of more than 32 members cannot be stored");
      Writer.WriteString(Name, SetMemberList(set, set.GetBits(Value)), "");
      break;
    }
    case tkRecord:
    case tkArray:
    case tkDynArray:
      WriteContents(*Writer.OpenSubkey(Name), Type, Value);
      break;
    default:  // characters, 64-bit integers, references, methods, procedures, pointers: not stored
      break;
  }
}

// --- reading -----------------------------------------------------------------------------------

std::any ReadValue(const IOptionsReader& Reader, const std::string& Name, const TTypeInfo& Type,
                   const std::any& Current);

// A record whose members, or an array whose elements, are read from the section of Reader.
std::any ReadContents(const IOptionsReader& Reader, const TTypeInfo& Type, const std::any& Current) {
  if (Type.Kind() == tkRecord) {
    const auto& record = static_cast<const TRecordTypeInfo&>(Type);
    std::any result = Type.Zero();
    ForEachRecordMember(record.RecordInfo(), [&](const TMemberInfo& member) {
      const TTypeInfo& memberType = TypeOf(member);
      if (!member.IsWritable()) return;  // a read-only record property keeps its zero value
      member.SetValue(record.Data(result),
                      ReadValue(Reader, member.Name(), memberType, member.GetValue(record.Data(Current))));
    });
    return result;
  }
  const auto& array = static_cast<const TArrayTypeInfo&>(Type);
  const TTypeInfo& elementType = array.ElementType();
  std::vector<std::any> elements;
  // Every child is an element, whatever its name.
  for (const std::string& name : Reader.GetSubkeyNames()) {
    auto item = Reader.OpenSubkey(name);
    elements.push_back(IsStructured(elementType) ? ReadContents(*item, elementType, elementType.Zero())
                                                 : ReadValue(*item, kItemValueName, elementType, elementType.Zero()));
  }
  if (array.Kind() == tkArray && elements.size() != array.Length()) return Current;
  return array.Make(elements);
}

std::any ReadSet(const IOptionsReader& Reader, const std::string& Name, const TSetTypeInfo& Type) {
  const TEnumerationTypeInfo& members = Type.ElementType();
  TStringList items;
  items.SetCommaText(Reader.ReadString(Name, ""));
  std::uint64_t bits = 0;
  for (const std::string& item : items) {
    std::optional<std::int64_t> ordinal = members.OrdinalOf(item);
    if (!ordinal) continue;  // names no member
    std::int64_t position = *ordinal - members.MinValue();
    if (position < kMaxStoredSetMembers) bits |= std::uint64_t(1) << position;
  }
  return Type.FromBits(bits);
}

std::any ReadValue(const IOptionsReader& Reader, const std::string& Name, const TTypeInfo& Type,
                   const std::any& Current) {
  switch (Type.Kind()) {
    case tkInteger: {
      if (!Reader.ValueExists(Name)) return Current;
      const auto& ordinal = static_cast<const TOrdinalTypeInfo&>(Type);
      return ordinal.FromOrdinal(Reader.ReadInteger(Name, static_cast<std::int32_t>(ordinal.GetOrdinal(Current))));
    }
    case tkEnumeration: {
      if (!Reader.ValueExists(Name)) return Current;
      std::string text = Reader.ReadString(Name, "");
      if (text.empty()) return Current;
      const auto& enumeration = static_cast<const TEnumerationTypeInfo&>(Type);
      std::optional<std::int64_t> ordinal = enumeration.OrdinalOf(text);
      return ordinal ? enumeration.FromOrdinal(*ordinal) : Current;
    }
    case tkFloat: {
      if (!Reader.ValueExists(Name)) return Current;
      const auto& floating = static_cast<const TFloatTypeInfo&>(Type);
      return floating.FromFloat(Reader.ReadFloat(Name, floating.GetFloat(Current)));
    }
    case tkString:
    case tkLString:
    case tkWString:
    case tkUString: {
      if (!Reader.ValueExists(Name)) return Current;
      const auto& string = static_cast<const TStringTypeInfo&>(Type);
      return string.FromString(Reader.ReadString(Name, string.GetString(Current)));
    }
    case tkSet:
      return Reader.ValueExists(Name) ? ReadSet(Reader, Name, static_cast<const TSetTypeInfo&>(Type)) : Current;
    case tkRecord:
    case tkArray:
    case tkDynArray: {
      auto section = Reader.OpenSubkey(Name);
      return section->IsMissing() ? Current : ReadContents(*section, Type, Current);
    }
    default:
      return Current;
  }
}
}  // namespace

void TOptionsSerializer::SerializeObject(IOptionsWriter& Writer, const TObjectRef& AObject) {
  for (const TMemberInfo* property : AObject.ClassInfo().GetProperties()) {
    if (!IsSerializable(*property)) continue;
    WriteValue(Writer, property->Name(), TypeOf(*property), property->GetValue(AObject));
  }
}

void TOptionsSerializer::DeserializeObject(const IOptionsReader& Reader, const TObjectRef& AObject) {
  for (const TMemberInfo* property : AObject.ClassInfo().GetProperties()) {
    if (!IsSerializable(*property)) continue;
    const TTypeInfo& type = TypeOf(*property);
    property->SetValue(AObject, ReadValue(Reader, property->Name(), type, property->GetValue(AObject)));
  }
}
