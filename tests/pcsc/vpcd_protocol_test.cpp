// The virtual card's side of the vpcd protocol, against a stand-in driver
// on a loopback socket; no pcscd needed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "atr.h"
#include "card_server.h"
#include "trivial_card.h"
#include "vpcd_link.h"
#include "vpcd_protocol.h"

namespace {

using vcard::Bytes;

class RecordingCard final : public vcard::VirtualCard {
 public:
  Bytes transmit(std::span<const std::uint8_t> apdu) override {
    commands.emplace_back(apdu.begin(), apdu.end());
    return {0x61, 0x08};
  }
  void powerCycle() override { ++powerCycles; }

  std::vector<Bytes> commands;
  int powerCycles = 0;
};

// StopSignal blocks SIGTERM for good, as the card wants; the test process
// gets its signal mask back so that a timeout can still end it.
class SavedSignalMask {
 public:
  SavedSignalMask() { ::pthread_sigmask(SIG_SETMASK, nullptr, &saved_); }
  ~SavedSignalMask() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

 private:
  sigset_t saved_;
};

Bytes message(std::initializer_list<std::uint8_t> bytes) { return Bytes(bytes); }

TEST(VpcdAnswer, ControlCodesAndCommands) {
  RecordingCard card;
  vcard::DriverSession session(card);
  const auto atr = session.answer(message({0x04}));
  ASSERT_TRUE(atr.has_value());
  EXPECT_EQ(*atr, Bytes(vcard::kAtr.begin(), vcard::kAtr.end()));

  for (const std::uint8_t code : {std::uint8_t{0x00}, std::uint8_t{0x01}, std::uint8_t{0x02}})
    EXPECT_FALSE(session.answer(message({code})));
  EXPECT_EQ(card.powerCycles, 3);

  EXPECT_FALSE(session.answer(message({0x03})));  // unknown control: ignored
  EXPECT_FALSE(session.answer(Bytes{}));
  EXPECT_EQ(card.powerCycles, 3);
  EXPECT_TRUE(card.commands.empty());

  const Bytes apdu = {0x00, 0x84, 0x00, 0x00, 0x08};
  EXPECT_EQ(session.answer(apdu), message({0x61, 0x08}));
  ASSERT_EQ(card.commands.size(), 1u);
  EXPECT_EQ(card.commands[0], apdu);
}

// Commands reach the card only inside a power-up the driver made; before
// it, and after a power-off, they get an empty answer.
TEST(VpcdAnswer, CommandsOnlyWhilePowered) {
  RecordingCard card;
  vcard::DriverSession session(card);
  const Bytes apdu = {0x00, 0x84, 0x00, 0x00, 0x08};
  EXPECT_EQ(session.answer(apdu), Bytes{});
  EXPECT_FALSE(session.answer(message({0x01})));
  EXPECT_EQ(session.answer(apdu), message({0x61, 0x08}));
  EXPECT_FALSE(session.answer(message({0x00})));
  EXPECT_EQ(session.answer(apdu), Bytes{});
  EXPECT_EQ(card.commands.size(), 1u);
}

TEST(VpcdAnswer, AtrChecksumAndProtocols) {
  std::uint8_t sum = 0;
  for (std::size_t i = 1; i < vcard::kAtr.size(); ++i) sum = static_cast<std::uint8_t>(sum ^ vcard::kAtr[i]);
  EXPECT_EQ(sum, 0) << "TCK must make T0..TCK exclusive-or to zero";
  EXPECT_EQ(vcard::kAtr[2] & 0x0F, 0) << "TD1 offers T=0";
  EXPECT_EQ(vcard::kAtr[3] & 0x0F, 1) << "TD2 offers T=1";
  EXPECT_EQ(vcard::kAtr[1] & 0x0F, 5) << "historical bytes counted";
}

TEST(VpcdFrame, BigEndianLengthPrefix) {
  const Bytes payload(300, 0xAB);
  const Bytes framed = vcard::frame(payload);
  ASSERT_EQ(framed.size(), 302u);
  EXPECT_EQ(framed[0], 0x01);
  EXPECT_EQ(framed[1], 0x2C);
  EXPECT_EQ(Bytes(framed.begin() + 2, framed.end()), payload);
  EXPECT_TRUE(vcard::frame(Bytes(vcard::kMaxMessage + 1, 0)).empty());
}

// A stand-in for the reader driver: listens on an ephemeral loopback port.
class FakeDriver {
 public:
  FakeDriver() {
    listener_ = vcard::UniqueFd(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(listener_.get(), reinterpret_cast<sockaddr*>(&addr), len);
    ::listen(listener_.get(), 1);
    ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
  }
  vcard::Endpoint endpoint() const { return {"127.0.0.1", port_}; }
  void accept() { peer_ = vcard::UniqueFd(::accept(listener_.get(), nullptr, nullptr)); }
  void hangUp() { peer_ = vcard::UniqueFd(); }

  // Length and payload in two writes, as the real driver sends them.
  void sendSplit(const Bytes& payload) {
    const Bytes framed = vcard::frame(payload);
    ASSERT_EQ(::send(peer_.get(), framed.data(), 2, 0), 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto rest = static_cast<ssize_t>(framed.size() - 2);
    ASSERT_EQ(::send(peer_.get(), framed.data() + 2, framed.size() - 2, 0), rest);
  }
  Bytes receive() {
    std::uint8_t prefix[2];
    if (::recv(peer_.get(), prefix, 2, MSG_WAITALL) != 2) return {};
    Bytes payload(static_cast<std::size_t>(prefix[0] << 8 | prefix[1]));
    if (::recv(peer_.get(), payload.data(), payload.size(), MSG_WAITALL) !=
        static_cast<ssize_t>(payload.size()))
      return {};
    return payload;
  }

 private:
  vcard::UniqueFd listener_;
  vcard::UniqueFd peer_;
  std::uint16_t port_ = 0;
};

TEST(VpcdLink, NobodyListeningIsNoLink) {
  std::uint16_t port = 0;
  {
    FakeDriver closed;  // takes a free port, then gives it up
    port = closed.endpoint().port;
  }
  EXPECT_FALSE(vcard::VpcdLink::connect({"127.0.0.1", port}).has_value());
  EXPECT_FALSE(vcard::validHost("localhost"));
  EXPECT_TRUE(vcard::validHost("127.0.0.1"));
}

TEST(VpcdLink, ServesDriverUntilItHangsUp) {
  FakeDriver driver;
  auto link = vcard::VpcdLink::connect(driver.endpoint());
  ASSERT_TRUE(link.has_value());
  driver.accept();
  vcard::TrivialCard card;
  const SavedSignalMask mask;
  vcard::StopSignal stop;
  std::thread server([&] { vcard::serveLink(card, *link, stop); });

  driver.sendSplit({0x04});
  EXPECT_EQ(driver.receive(), Bytes(vcard::kAtr.begin(), vcard::kAtr.end()));
  driver.sendSplit({0x01});  // power on: no answer, so the next answer is the command's
  const Bytes longCommand(261, 0x00);
  driver.sendSplit(longCommand);
  EXPECT_EQ(driver.receive(), message({0x90, 0x00}));
  driver.hangUp();
  server.join();  // returns once the driver is gone
}

}  // namespace
