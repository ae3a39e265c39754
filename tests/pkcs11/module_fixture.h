// The module's entry points on a fresh emulated token per test, with the
// usual steps (initialise, log in, make a key pair) as helpers.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calls/calls.h"

namespace p11test {

using Bytes = std::vector<std::uint8_t>;
namespace c = p11::calls;

inline const std::string kSoPin = "11223344";
inline const std::string kUserPin = "123456";

inline CK_UTF8CHAR_PTR pinPtr(const std::string& pin) {
  return reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(pin.data()));
}

// A fresh image per test (tests run in parallel) and an initialised module.
class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // C_InitToken with kSoPin, then C_InitPIN with kUserPin.
  void initToken();
  CK_SESSION_HANDLE openSession(bool readWrite = true);
  void login(CK_SESSION_HANDLE s, CK_USER_TYPE who = CKU_USER);
  // A key pair with this id; the private key's handle.
  CK_OBJECT_HANDLE generateKeyPair(CK_SESSION_HANDLE s, const Bytes& id = {0x01});
  Bytes attribute(CK_SESSION_HANDLE s, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type);
  std::vector<CK_OBJECT_HANDLE> find(CK_SESSION_HANDLE s, std::vector<CK_ATTRIBUTE> tmpl = {});
  CK_RV sign(CK_SESSION_HANDLE s, CK_OBJECT_HANDLE key, CK_MECHANISM mechanism, const Bytes& data,
             Bytes& signature);
  // A data object on the token; CKR_OK and its handle.
  CK_RV createData(CK_SESSION_HANDLE s, const std::string& label, const Bytes& value,
                   bool isPrivate, CK_OBJECT_HANDLE& handle);
  // A certificate on the token (selfSignedCertificate's).
  CK_RV createCertificate(CK_SESSION_HANDLE s, CK_OBJECT_HANDLE& handle);

  std::string dir_;
  std::string image_;
};

// The DER of a self-signed certificate for a fresh 1024-bit key.
Bytes selfSignedCertificate();

}  // namespace p11test
