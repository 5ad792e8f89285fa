#include <gtest/gtest.h>

#include "Common.Attributes.h"

namespace attributes_test {
class TLoginRequired : public TCustomAttribute<bool, TLoginRequired> {
 public:
  using TCustomAttribute::TCustomAttribute;
};
class TNote : public TCustomAttribute<std::string, TNote> {
 public:
  using TCustomAttribute::TCustomAttribute;
};

class TSource {
  KV_CLASS_INFO(TSource)
 public:
  virtual ~TSource() = default;
  void Connect() {}
  void Disconnect() {}
};

class TFolderSource : public TSource {
  KV_CLASS_INFO(TFolderSource)
 public:
  void Refresh() {}
};

class TQuietSource : public TFolderSource {
  KV_CLASS_INFO(TQuietSource)
};

const TClassInfo& TSource::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TSource>(TNote("первая"), TDisplayName("Источник"), TNote("вторая"))
                                     .Method("Connect", &TSource::Connect, TLoginRequired(true));
  return Info;
}

const TClassInfo& TFolderSource::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TFolderSource, TSource>(TDisplayName("Папка"), TLoginRequired(false))
                                     .Method("Refresh", &TFolderSource::Refresh);
  return Info;
}

const TClassInfo& TQuietSource::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TQuietSource, TFolderSource>();
  return Info;
}
}  // namespace attributes_test

using namespace attributes_test;

TEST(Attributes, ClassValuesComeFromTheClassItselfOnly) {
  EXPECT_EQ(TDisplayName::GetValue(TFolderSource::StaticClassInfo(), ""), "Папка");
  EXPECT_EQ(TDisplayName::GetValue(TQuietSource::StaticClassInfo(), "none"), "none");  // not the parent's
  EXPECT_FALSE(TLoginRequired::GetValue(TFolderSource::StaticClassInfo(), true));
  EXPECT_TRUE(TLoginRequired::GetValue(TSource::StaticClassInfo(), true));

  // The first attribute of the class asked for, or of a class derived from it.
  EXPECT_EQ(TNote::GetValue(TSource::StaticClassInfo()), "первая");
  EXPECT_EQ(TCustomAttribute<std::string>::GetValue(TFolderSource::StaticClassInfo(), ""), "Папка");
  EXPECT_EQ(TCustomAttribute<std::string>::GetValue(TSource::StaticClassInfo(), ""), "первая");
}

TEST(Attributes, AMissingAttributeWithoutDefaultRaisesAPrefixedError) {
  try {
    TDisplayName::GetValue(TQuietSource::StaticClassInfo());
    FAIL() << "no exception";
  } catch (const EAttributeError& e) {
    EXPECT_EQ(e.Message(), "Чтение аттрибутов: Аттрибут класса \"TDisplayName\" не найден");
  }
  EXPECT_EQ(EAttributeError("Чтение аттрибутов: уже с приставкой").Message(), "Чтение аттрибутов: уже с приставкой");
  EXPECT_EQ(EAttributeError::PropWithAttrNotFound("TSource", "TNote").Message(),
            "Чтение аттрибутов: Не удалось найти свойство экземпляра класса TSource, помеченное аттрибутом TNote");
  EXPECT_EQ(EAttributeError::RttiNotPresented().Message(), "Чтение аттрибутов: Отсутствует RTTI");
}

TEST(Attributes, ValueOrDefaultAnswersForNoAttributeAtAll) {
  TDisplayName name("Имя");
  EXPECT_EQ(TDisplayName::ValueOrDefault(&name, "x"), "Имя");
  EXPECT_EQ(TDisplayName::ValueOrDefault(nullptr, "x"), "x");
}

TEST(Attributes, MethodValuesAreFoundByTheMethodPointerAlongTheClassChain) {
  TQuietSource source;
  EXPECT_TRUE(TLoginRequired::GetValue(source, &TSource::Connect, false));         // declared on an ancestor
  EXPECT_FALSE(TLoginRequired::GetValue(source, &TFolderSource::Refresh, false));  // listed, no attribute
  EXPECT_TRUE(TLoginRequired::GetValue(source, &TSource::Disconnect, true));       // not listed
}
