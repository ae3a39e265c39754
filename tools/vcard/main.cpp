// tkp30-vcard: an emulated token (or, for benchmarks, a card that answers
// 90 00 to everything) as the card in pcscd's virtual reader.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>

#include "card_server.h"
#include "token_card.h"
#include "trivial_card.h"
#include "vpcd_protocol.h"

namespace {

struct Options {
  std::string image;
  bool trivial = false;
  vcard::Endpoint endpoint{vcard::kDefaultHost, vcard::kDefaultPort};
};

void describe(CLI::App& app, Options& options) {
  auto* image = app.add_option("--image", options.image, "token image the card serves");
  auto* trivial = app.add_flag("--trivial", options.trivial, "answer 90 00 to every command");
  image->excludes(trivial);
  app.add_option("--host", options.endpoint.host, "address of the virtual reader driver")
      ->check([](const std::string& host) {
        return vcard::validHost(host) ? std::string() : "not an IPv4 address: " + host;
      });
  app.add_option("--port", options.endpoint.port, "port of the virtual reader driver")
      ->check(CLI::Range(1, 65535));
}

std::unique_ptr<vcard::VirtualCard> makeCard(const Options& options) {
  if (options.trivial) return std::make_unique<vcard::TrivialCard>();
  std::string error;
  auto card = vcard::TokenCard::open(options.image, error);
  if (!card) std::cerr << "tkp30-vcard: cannot use " << options.image << ": " << error << '\n';
  return card;
}

}  // namespace

static int run(int argc, char** argv) {
  CLI::App app{"Serves an emulated TKP30 token as the card in pcscd's virtual reader (vpcd)."};
  Options options;
  describe(app, options);
  CLI11_PARSE(app, argc, argv);
  if (!options.trivial && options.image.empty()) {
    std::cerr << "tkp30-vcard: give --image <token image> or --trivial\n";
    return 2;
  }
  vcard::StopSignal stop;
  if (!stop.valid()) {
    std::cerr << "tkp30-vcard: cannot watch for SIGTERM\n";
    return 1;
  }
  auto card = makeCard(options);
  if (!card) return 1;
  vcard::serveCard(*card, options.endpoint, stop);
  return 0;
}

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "tkp30-vcard: " << e.what() << '\n';
  } catch (...) {
    std::cerr << "tkp30-vcard: unexpected failure\n";
  }
  return 1;
}
