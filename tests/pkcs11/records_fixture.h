// A formatted token with the user logged in, for the module's records
// reached without the module.
#pragma once

#include "module_fixture.h"
#include "norv_dal_tkp30.h"
#include "token/token_lock.h"

namespace p11test {

class TokenRecords : public ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    ASSERT_EQ(NORV_DAL_FormatDevice(pinPtr(kSoPin), 8, pinPtr(kUserPin), 6), 0);
    ASSERT_EQ(NORV_DAL_Login(NORV_DAL_LOGIN_USER, pinPtr(kUserPin), 6), 0);
  }
  p11::TokenLock lock_{nullptr};  // one process, one thread: nothing to share
};

}  // namespace p11test
