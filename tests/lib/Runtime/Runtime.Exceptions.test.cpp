#include "Runtime.Exceptions.h"

#include <gtest/gtest.h>

namespace {
KV_DECLARE_EXCEPTION(ESampleError, EStreamError);

struct TOuter {
  class Exception : public ::Exception {
   public:
    using ::Exception::Exception;
  };
};
}  // namespace

TEST(Exceptions, ClassNameIsTheRunTimeClassWithoutScopes) {
  try {
    throw ESampleError("boom");
  } catch (const Exception& e) {
    EXPECT_EQ(e.ClassName(), "ESampleError");
    EXPECT_STREQ(e.what(), "boom");
  }
  EXPECT_EQ(TOuter::Exception("x").ClassName(), "Exception");
  EXPECT_EQ(ExceptionClassName(std::runtime_error("x")), "runtime_error");
}

TEST(Exceptions, AssertionCarriesTextUnitPathAndLine) {
  try {
    ASSERT(1 + 1 == 3, "arithmetic broke");
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), "arithmetic broke");
    EXPECT_EQ(e.UnitPath(), "tests/lib/Runtime/Runtime.Exceptions.test");
    EXPECT_EQ(e.Line(), __LINE__ - 5);
    EXPECT_EQ(e.Message(), "arithmetic broke (tests/lib/Runtime/Runtime.Exceptions.test, line " +
                               std::to_string(e.Line()) + ")");
  }
  try {
    ASSERT(false);
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), "Assertion failure");
  }
  EXPECT_NO_THROW(ASSERT(true, "never"));
}

TEST(Exceptions, AbstractError) {
  EXPECT_THROW(
      {
        try {
          AbstractError();
        } catch (const EAbstractError& e) {
          EXPECT_STREQ(e.what(), "Abstract Error");
          throw;
        }
      },
      EAbstractError);
}

TEST(Format, PlaceholdersOfTheMessageTemplates) {
  struct Case {
    std::string expected, actual;
  };
  const Case cases[] = {
      {"Файл \"a.xml\" поврежден.", Format("Файл \"%s\" поврежден.", "a.xml")},
      {"7 of 12", Format("%d of %d", 7, 12u)},
      {"-5", Format("%d", -5)},
      {"05", Format("%.2d", 5)},
      {"00042", Format("%.5d", 42)},
      {"0102", Format("%.4x", 0x102)},
      {"FFFFFFFF", Format("%x", -1)},
      {"100%", Format("%d%%", 100)},
      {"  ab|cd  ", Format("%4s|%-4s", "ab", "cd")},
      {"3.14", Format("%.2f", 3.14159)},
      {"", Format("")},
  };
  for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST(Format, MissingOrWrongArgumentsRaise) {
  EXPECT_THROW(Format("%s and %s", "one"), EConvertError);
  EXPECT_THROW(Format("%d", "text"), EConvertError);
  EXPECT_THROW(Format("%s", 5), EConvertError);
  EXPECT_THROW(Format("trailing %"), EConvertError);
}
