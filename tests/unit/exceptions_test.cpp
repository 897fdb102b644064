// exceptions_test.cpp: the error code is taken when the exception is made.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "text/exceptions.h"

namespace {

TEST(KvErrorException, TakesLastErrorAtConstruction) {
  plat::SetLastErrorCode(0);
  EXPECT_EQ(plat::FileAttributes("no such file here.xyz"), plat::kInvalidAttributes);
  KvErrorException e("failed");
  EXPECT_EQ(e.code, plat::kErrorFileNotFound);
  EXPECT_STREQ(e.message.Text(), "failed");

  plat::SetLastErrorCode(1234);
  KvString formatted;
  formatted.Format("%s %x", "x", 5u);
  KvErrorException f(formatted);
  EXPECT_EQ(f.code, 1234u);
  EXPECT_STREQ(f.message.Text(), "x 5");
}

TEST(KvErrorException, CopySurvivesTheOriginal) {
  auto* first = new KvErrorException("message text");
  KvErrorException copy(*first);
  delete first;
  EXPECT_STREQ(copy.message.Text(), "message text");
  try {
    throw copy;
  } catch (const KvException& caught) {
    const auto* error = dynamic_cast<const KvErrorException*>(&caught);
    ASSERT_NE(error, nullptr);
    EXPECT_STREQ(error->message.Text(), "message text");
  }
}

}  // namespace
