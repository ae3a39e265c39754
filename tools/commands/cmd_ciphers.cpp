// Symmetric ciphers and MACs over files of any size: SSF33 on the token,
// DES, triple DES, RC2 and RC4 in the library's software.
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "common/secret_bytes.h"
#include "io/file_io.h"
#include "io/hex.h"
#include "io/progress.h"
#include "io/secret_sources.h"
#include "io/tool_error.h"
#include "platform/interrupt.h"
#include "token/cipher_stream.h"
#include "token/token_select.h"

namespace tkp30 {
namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr std::uint64_t kProgressThreshold = 1 << 20;

// Built on first use: a table of static storage duration could throw
// before main.
const std::map<std::string, Algorithm>& algorithms() {
  static const std::map<std::string, Algorithm> table = {{"ssf33", Algorithm::Ssf33},
                                                         {"des", Algorithm::Des},
                                                         {"3des", Algorithm::TripleDes},
                                                         {"rc2", Algorithm::Rc2},
                                                         {"rc4", Algorithm::Rc4}};
  return table;
}
// Built on first use: a table of static storage duration could throw
// before main.
const std::map<std::string, bool>& modes() {
  static const std::map<std::string, bool> table = {{"cbc", true}, {"ecb", false}};
  return table;
}

// Keys are secrets: never taken as a validated option whose error
// message would repeat them.
struct KeySource {
  std::string hex;
  std::string file;
  std::string envVariable;
};

struct CipherOptions {
  Algorithm algorithm = Algorithm::Des;
  bool cbc = true;
  KeySource key;
  std::string ivHex;
  std::string in;
  std::string out;
  std::uint32_t macLength = 0;  // 0: a whole block
};

common::SecretBytes keyText(const KeySource& source) {
  if (source.hex.empty() && source.file.empty() && source.envVariable.empty())
    throw UsageError("give the key with --key-file, --key-env or --key-hex");
  if (!source.file.empty()) return readSecretFile(source.file);
  if (!source.envVariable.empty()) {
    auto text = secretFromEnvironment(source.envVariable);
    if (!text) throw UsageError("environment variable " + source.envVariable + " is not set");
    return std::move(*text);
  }
  common::SecretBytes hex;
  for (const char c : source.hex) hex.push_back(static_cast<std::uint8_t>(c));
  return hex;
}

common::SecretBytes readKey(const KeySource& source) {
  const common::SecretBytes text = keyText(source);
  common::SecretBytes key;
  if (text.empty() || !parseHex({reinterpret_cast<const char*>(text.data()), text.size()}, key))
    throw UsageError("the key must be given as hex digits");
  return key;
}

CipherChoice cipherChoiceOf(const CipherOptions& o, bool withMode) {
  CipherChoice choice;
  choice.algorithm = o.algorithm;
  choice.cbc = withMode && o.algorithm != Algorithm::Rc4 && o.cbc;
  choice.key = readKey(o.key);
  auto iv = parseHex(o.ivHex);
  if (!iv) throw UsageError("--iv takes hex digits");
  choice.iv = *iv;
  validate(choice);
  return choice;
}

// SSF33 runs on the token, which holds one cipher state: the whole stream,
// from the key load to the last block, is one operation under the lock.
// The software ciphers touch no token and take no lock; their temporary
// output still has to go when a signal comes.
std::optional<TokenLock> tokenFor(const CipherChoice& choice) {
  if (choice.algorithm != Algorithm::Ssf33) return std::nullopt;
  return openToken();
}

void stream(const CipherOptions& o, Direction direction) {
  const CipherChoice choice = cipherChoiceOf(o, true);
  InputFile in(o.in);
  const auto token = tokenFor(choice);
  const InterruptGuard cleanUpOnSignal;
  const auto cipher = openCipher(choice, direction);
  OutputFile out(o.out);
  Progress progress(in.size(), kProgressThreshold);
  std::vector<std::uint8_t> chunk(kChunk);
  std::vector<std::uint8_t> released;
  while (const std::size_t n = in.read(chunk)) {
    throwIfInterrupted();
    cipher->update({chunk.data(), n}, released);
    out.write(released);
    progress.advance(n);
  }
  throwIfInterrupted();
  cipher->finish(released);
  out.write(released);
  progress.finish();
  out.commit();
}

void mac(const CipherOptions& o) {
  if (o.macLength > blockSize(o.algorithm))
    throw UsageError("a MAC is at most " + std::to_string(blockSize(o.algorithm)) + " bytes");
  const CipherChoice choice = cipherChoiceOf(o, false);
  InputFile in(o.in);
  const auto token = tokenFor(choice);
  const InterruptGuard cleanUpOnSignal;
  const auto macStream = openMac(choice);
  Progress progress(in.size(), kProgressThreshold);
  std::vector<std::uint8_t> chunk(kChunk);
  while (const std::size_t n = in.read(chunk)) {
    throwIfInterrupted();
    macStream->update({chunk.data(), n});
    progress.advance(n);
  }
  throwIfInterrupted();
  const auto value = macStream->finish(
      o.macLength > 0 ? o.macLength : static_cast<std::uint32_t>(blockSize(o.algorithm)));
  progress.finish();
  std::cout << toHex(value) << "\n";
}

void addKeyOptions(CLI::App& command, KeySource& key) {
  auto* hex = command.add_option("--key-hex", key.hex,
                                 "The key as hex (visible to other users: "
                                 "prefer --key-file or --key-env)");
  auto* file = command.add_option("--key-file", key.file, "File holding the key as hex");
  auto* env = command.add_option("--key-env", key.envVariable,
                                 "Environment variable holding the key as hex");
  hex->excludes(file)->excludes(env);
  file->excludes(env);
}

void addCommon(CLI::App& command, CipherOptions& o) {
  command.add_option("--cipher", o.algorithm, "ssf33 (on the token), des, 3des, rc2 or rc4")
      ->required()
      ->type_name("CIPHER")
      ->transform(choiceOf(algorithms(), "cipher", "ssf33 (on the token), des, 3des, rc2 or rc4"));
  addKeyOptions(command, o.key);
  command.add_option("-i,--in", o.in, "Input file (- for stdin)")->required();
}

void addModeOptions(CLI::App& command, CipherOptions& o) {
  command.add_option("--mode", o.cbc, "cbc (default) or ecb; RC4 has no mode")
      ->type_name("MODE")
      ->transform(choiceOf(modes(), "mode", "cbc or ecb"));
  command.add_option("--iv", o.ivHex, "Initial vector as hex, one block (CBC)");
  command.add_option("-o,--out", o.out, "Output file (- for stdout)")->required();
}

}  // namespace

void addCipherCommands(CLI::App& app, Action& action) {
  auto o = std::make_shared<CipherOptions>();
  auto* encrypt =
      app.add_subcommand("encrypt", "Encrypt a file (PKCS #5/#7 padding for block ciphers)");
  addCommon(*encrypt, *o);
  addModeOptions(*encrypt, *o);
  onRun(*encrypt, action, o, [](const CipherOptions& opts) { stream(opts, Direction::Encrypt); });

  auto* decrypt = app.add_subcommand("decrypt", "Decrypt a file and remove its padding");
  addCommon(*decrypt, *o);
  addModeOptions(*decrypt, *o);
  onRun(*decrypt, action, o, [](const CipherOptions& opts) { stream(opts, Direction::Decrypt); });

  auto* macCommand = app.add_subcommand("mac", "CBC-MAC of a file from a zero start, shown as hex");
  addCommon(*macCommand, *o);
  macCommand->add_option("--length", o->macLength, "MAC bytes (default: one block)")
      ->check(numberIn(1, 16));
  onRun(*macCommand, action, o, mac);
}

}  // namespace tkp30
