// Certificate requests and self-signed certificates for a key pair on the
// token: libcrypto builds them, the token signs them.
#include <string>

#include "commands/commands.h"
#include "commands/key_options.h"
#include "common/digest_info.h"
#include "crypto/certificates.h"
#include "io/file_io.h"
#include "io/tool_error.h"
#include "token/token_checks.h"
#include "token/token_select.h"

namespace tkp30 {
namespace {

constexpr int kMaxDays = 36500;

struct PkiOptions {
  int slot = 0;
  std::string subject;
  std::string out = "-";
  common::Hash hash = common::Hash::Sha256;
  int days = 365;
  bool endEntity = false;
  std::string extendedKeyUsages = "clientAuth,emailProtection";
};

// The PEM that `build` makes from the slot's key and the subject, signed
// on the token under the lock, written once the lock is given back.
template <typename Build>
void writeSignedByToken(const PkiOptions& o, const std::string& action, Build build) {
  const auto subject = parseSubject(o.subject);
  std::string pem;
  {
    const auto token = openToken();
    const TokenRsaKey key(o.slot, requireKeyPair(o.slot));
    requireLogin(PinNeeded::Either, action);
    pem = build(key, *subject);
  }
  writeTextFile(o.out, pem);
}

void csr(const PkiOptions& o) {
  writeSignedByToken(o, "csr", [&o](const TokenRsaKey& key, const X509_NAME& subject) {
    return makeRequestPem(key, subject, o.hash);
  });
}

void selfsign(const PkiOptions& o) {
  const CertificateUse use = o.endEntity ? endEntityUse(o.extendedKeyUsages) : CertificateUse{};
  writeSignedByToken(o, "selfsign", [&o, &use](const TokenRsaKey& key, const X509_NAME& subject) {
    return makeSelfSignedPem(key, subject, o.days, o.hash, use);
  });
}

void addCommon(CLI::App& command, PkiOptions& o) {
  addKeySlotOption(command, o.slot);
  command.add_option("--subject", o.subject, "The subject, e.g. '/CN=Alice/O=Example'")->required();
  addHashOption(command, o.hash);
  command.add_option("-o,--out", o.out, "PEM file to write (default: stdout)");
}

}  // namespace

void addPkiCommands(CLI::App& app, Action& action) {
  auto o = std::make_shared<PkiOptions>();
  auto* request = app.add_subcommand(
      "csr", "A PKCS #10 certificate request signed by a key pair on the token (needs a login)");
  addCommon(*request, *o);
  onRun(*request, action, o, csr);

  auto* cert = app.add_subcommand(
      "selfsign", "A self-signed X.509 certificate for a key pair on the token (needs a login)");
  addCommon(*cert, *o);
  cert->add_option("--days", o->days, "Days of validity from now (default 365)")
      ->check(numberIn(1, kMaxDays));
  auto* endEntity = cert->add_flag(
      "--end-entity", o->endEntity,
      "A certificate for signing and encryption (CA:FALSE; digitalSignature, keyEncipherment) "
      "instead of a CA's");
  cert->add_option("--eku", o->extendedKeyUsages,
                   "With --end-entity: its purposes, e.g. clientAuth,emailProtection (the "
                   "default), codeSigning, serverAuth")
      ->type_name("LIST")
      ->needs(endEntity);
  onRun(*cert, action, o, selfsign);
}

}  // namespace tkp30
