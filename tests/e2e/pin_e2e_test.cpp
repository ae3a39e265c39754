// Logging in, counting down wrong PINs, changing and unlocking PINs on a
// freshly formatted token.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "norv_dal_tkp30.h"
#include "support/e2e_token.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class PinE2eTest : public e2e::TokenTest {
 protected:
  static std::int32_t login(std::int32_t type, const Bytes& pin) {
    return NORV_DAL_Login(type, pin.data(), static_cast<std::int32_t>(pin.size()));
  }
  static std::int32_t loggedIn(std::int32_t type) {
    std::int32_t flag = -1;
    EXPECT_EQ(NORV_DAL_IsLogin(type, &flag), 0);
    return flag;
  }
  // Wrong PINs until the card blocks it; returns the results in order.
  static std::vector<std::int32_t> exhaust(std::int32_t type) {
    const Bytes wrong = {'0', '0', '0', '0'};
    std::vector<std::int32_t> results;
    for (int i = 0; i < 20; ++i) {
      results.push_back(login(type, wrong));
      if (results.back() <= 0) break;
    }
    return results;
  }
  static void expectCountdown(const std::vector<std::int32_t>& results, std::int32_t blocked) {
    ASSERT_GE(results.size(), 2u);
    EXPECT_EQ(results.back(), blocked);
    for (std::size_t i = 0; i + 1 < results.size(); ++i) {
      EXPECT_EQ(results[i], static_cast<std::int32_t>(results.size() - 1 - i));
      char message[NORV_DAL_ERRMSG_SIZE] = {};
      NORV_DAL_GetErrMsg(results[i], message);
      EXPECT_NE(std::string(message).find(std::to_string(results[i])), std::string::npos);
    }
  }
};

TEST_F(PinE2eTest, LoginStateFollowsLoginAndLogout) {
  format();
  EXPECT_EQ(loggedIn(1), 0);
  EXPECT_EQ(loggedIn(2), 0);
  EXPECT_EQ(login(1, e2e::kSuperPin), 0);
  EXPECT_EQ(loggedIn(1), 1);
  EXPECT_EQ(NORV_DAL_Logout(1), 0);
  EXPECT_EQ(loggedIn(1), 0);
  EXPECT_EQ(login(2, e2e::kUserPin), 0);
  EXPECT_EQ(loggedIn(2), 1);
  EXPECT_EQ(NORV_DAL_Logout(2), 0);
  EXPECT_EQ(loggedIn(1), 0);
  EXPECT_EQ(loggedIn(2), 0);
  std::int32_t flag = 9;
  EXPECT_EQ(NORV_DAL_IsLogin(3, &flag), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(flag, 9);
  EXPECT_EQ(NORV_DAL_Logout(0), NORV_DAL_ERR_PARAM);
  EXPECT_EQ(login(2, e2e::kUserPin), 0);
  powerCycle();
  EXPECT_EQ(loggedIn(2), 0);
}

TEST_F(PinE2eTest, WrongPinsCountDownToBlocked) {
  format();
  expectCountdown(exhaust(2), NORV_DAL_ERR_USER_PIN_LOCKED);
  EXPECT_EQ(login(2, e2e::kUserPin), NORV_DAL_ERR_USER_PIN_LOCKED);
  expectCountdown(exhaust(1), NORV_DAL_ERR_SUPER_PIN_LOCKED);
  EXPECT_EQ(login(1, e2e::kSuperPin), NORV_DAL_ERR_SUPER_PIN_LOCKED);
  const Bytes newPin = {'9', '8', '7', '6'};
  EXPECT_EQ(NORV_DAL_UnlockPin(e2e::kSuperPin.data(), 8, newPin.data(), 4),
            NORV_DAL_ERR_SUPER_PIN_LOCKED);
}

TEST_F(PinE2eTest, ChangedPinsReplaceTheOldOnes) {
  format();
  const Bytes newUser = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
  const Bytes newSuper = {'s', 'u', 'p', 'e', 'r'};
  EXPECT_EQ(NORV_DAL_ChangePin(2, e2e::kUserPin.data(), 6, newUser.data(), 8), 0);
  EXPECT_EQ(login(2, newUser), 0);
  EXPECT_GT(login(2, e2e::kUserPin), 0);
  EXPECT_EQ(NORV_DAL_ChangePin(1, e2e::kSuperPin.data(), 8, newSuper.data(), 5), 0);
  EXPECT_EQ(login(1, newSuper), 0);
  const std::int32_t triesLeft = NORV_DAL_ChangePin(1, e2e::kSuperPin.data(), 8, newUser.data(), 8);
  EXPECT_GT(triesLeft, 0);
  EXPECT_LE(triesLeft, 14);
  EXPECT_EQ(login(1, newSuper), 0);
}

TEST_F(PinE2eTest, SuperPinUnlocksABlockedUserPin) {
  format();
  expectCountdown(exhaust(2), NORV_DAL_ERR_USER_PIN_LOCKED);
  for (const Bytes& newPin : {Bytes{'1', '2', '3', '4', '5', '6', '7'},
                              Bytes{'n', 'e', 'w', 'p', 'i', 'n', '1', '2', '3'}}) {
    EXPECT_EQ(NORV_DAL_UnlockPin(e2e::kSuperPin.data(), 8, newPin.data(),
                                 static_cast<std::int32_t>(newPin.size())),
              0);
    EXPECT_EQ(login(2, newPin), 0);
    EXPECT_EQ(loggedIn(2), 1);
  }
  EXPECT_GT(login(2, e2e::kUserPin), 0);
  const Bytes wrongSuper = {'x', 'x', 'x', 'x'};
  const Bytes pin = {'1', '1', '1', '1'};
  const std::int32_t triesLeft = NORV_DAL_UnlockPin(wrongSuper.data(), 4, pin.data(), 4);
  EXPECT_GT(triesLeft, 0);
  EXPECT_LE(triesLeft, 14);
}

}  // namespace
