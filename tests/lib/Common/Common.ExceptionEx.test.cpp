#include "Common.ExceptionEx.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
KV_DECLARE_EXCEPTION(EOuterError, ExceptionEx);
KV_DECLARE_EXCEPTION(EMiddleError, ExceptionEx);

// Throws `outer` from inside a handler of `inner` and returns what the caller catches.
template <class Outer, class Inner>
Outer RaiseInside(Inner inner, std::string outer) {
  try {
    try {
      throw inner;
    } catch (...) {
      throw Outer(std::move(outer));
    }
  } catch (const Outer& e) {
    return e;
  }
}
}  // namespace

TEST(ExceptionEx, TakesTheHandledStandardExceptionOnly) {
  EXPECT_EQ(ExceptionEx("alone").InnerException(), nullptr);

  try {
    throw std::runtime_error("disk full");
  } catch (const std::runtime_error& handled) {
    ExceptionEx e("cannot save");
    EXPECT_EQ(e.InnerException(), &handled);  // the handled object itself, not a copy
    EXPECT_EQ(e.Message(), "cannot save");
  }

  try {
    throw 42;
  } catch (...) {
    EXPECT_EQ(ExceptionEx("x").InnerException(), nullptr);
    EXPECT_EQ(ExceptionEx("x").InnerExceptionPtr(), nullptr);
  }
}

TEST(ExceptionEx, InnerExceptionOutlivesItsHandlerAndCopies) {
  EOuterError caught = RaiseInside<EOuterError>(std::runtime_error("inner text"), "outer text");
  ASSERT_NE(caught.InnerException(), nullptr);
  EXPECT_STREQ(caught.InnerException()->what(), "inner text");
  EXPECT_EQ(caught.GetMessageList(), "outer text\r\ninner text\r\n");

  EOuterError copy = caught;
  EXPECT_EQ(copy.InnerException(), caught.InnerException());
  caught = EOuterError("replaced");
  EXPECT_STREQ(copy.InnerException()->what(), "inner text");  // still alive through the copy
}

TEST(ExceptionEx, CopyingInsideAHandlerTakesNothingNew) {
  const ExceptionEx original("made outside");
  try {
    throw std::runtime_error("unrelated");
  } catch (...) {
    ExceptionEx copy = original;
    EXPECT_EQ(copy.InnerException(), nullptr);
  }
}

TEST(ExceptionEx, ChainBaseExceptionAndMessageList) {
  EOuterError outer = [] {
    try {
      try {
        throw std::logic_error("root cause");
      } catch (...) {
        throw EMiddleError("middle");
      }
    } catch (...) {
      return EOuterError("outer");
    }
  }();

  const std::exception& base = outer.BaseException();
  EXPECT_STREQ(base.what(), "root cause");
  EXPECT_NE(dynamic_cast<const std::logic_error*>(&base), nullptr);

  TStringList chain;
  chain.Add("kept");
  outer.GetExceptionsChain(chain);
  ASSERT_EQ(chain.Count(), 4u);
  EXPECT_EQ(chain[1], "outer");
  EXPECT_EQ(chain[2], "middle");
  EXPECT_EQ(chain[3], "root cause");
  EXPECT_EQ(std::any_cast<const std::exception*>(chain.Objects(1)), &outer);
  EXPECT_EQ(std::any_cast<const std::exception*>(chain.Objects(3)), &base);

  EXPECT_EQ(outer.GetMessageList(), "outer\r\nmiddle\r\nroot cause\r\n");

  ExceptionEx single("single");
  EXPECT_EQ(&single.BaseException(), &single);
  EXPECT_EQ(single.GetMessageList(), "single\r\n");
}

TEST(ExceptionEx, ClassNameAndOperationNameHelpers) {
  EOuterError e("text");
  EXPECT_EQ(FormatClassNameAndMessage(e), "[EOuterError]text");
  PrefixOperationName(e, "Загрузка");
  EXPECT_EQ(e.Message(), "Загрузка: text");
  EXPECT_STREQ(e.what(), "Загрузка: text");
}
