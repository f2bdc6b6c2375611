// The channel between starts of the program on one display: who holds it, the
// commands and their answers, and the files a dead instance leaves behind.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <memory>
#include <vector>

#include "app/gui/instance_channel.h"

namespace tapwell::app {
namespace {

TEST(ChannelPlace, IsNamedAfterTheSessionsDisplay) {
  const ChannelPlace x = ChannelPlaceFor("/run/user/7", "", ":0");
  EXPECT_EQ(x.socket, "/run/user/7/tapwell-x11-_0.socket");
  EXPECT_EQ(x.lock, "/run/user/7/tapwell-x11-_0.lock");
  // The screen number names no other server.
  EXPECT_EQ(ChannelPlaceFor("/f", "", ":0.1").socket, "/f/tapwell-x11-_0.socket");
  EXPECT_EQ(ChannelPlaceFor("/f", "", "host:10.0").socket, "/f/tapwell-x11-host_10.socket");
  // A Wayland session is one session, whatever DISPLAY its X server has.
  EXPECT_EQ(ChannelPlaceFor("/f", "wayland-1", ":0").socket, "/f/tapwell-wayland-wayland-1.socket");
  EXPECT_EQ(ChannelPlaceFor("/f", "../x", "").socket, "/f/tapwell-wayland-.._x.socket");
}

class ChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    place_ = ChannelPlaceFor(folder_.path(), "", ":5");
  }

  std::unique_ptr<InstanceServer> serve(std::string answer = {}) {
    return std::make_unique<InstanceServer>(place_, [this, answer](const std::string& command) {
      received_.push_back(command);
      return answer;
    });
  }

  // Sends from a thread of its own while this thread's event loop serves.
  Delivery send(const std::string& command, int timeoutMs = 5000) {
    Delivery delivery;
    std::unique_ptr<QThread> client(
        QThread::create([&] { delivery = SendCommand(place_, command, timeoutMs); }));
    client->start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return client->isFinished(); }, timeoutMs + 5000));
    client->wait();
    return delivery;
  }

  QTemporaryDir folder_;
  ChannelPlace place_;
  std::vector<std::string> received_;
};

TEST_F(ChannelTest, CommandsReachTheHolderAndItsAnswersComeBack) {
  EXPECT_EQ(send("show").status, Delivery::Status::NoInstance);
  auto server = serve();
  std::string why;
  ASSERT_EQ(server->claim(why), InstanceServer::Claim::Claimed) << why;
  EXPECT_EQ(send("abort").status, Delivery::Status::Done);
  EXPECT_EQ(send("show").status, Delivery::Status::Done);
  EXPECT_EQ(received_, (std::vector<std::string>{"abort", "show"}));

  auto refusing = serve("the program is still starting");
  server.reset();
  ASSERT_EQ(refusing->claim(why), InstanceServer::Claim::Claimed) << why;
  const Delivery refused = send("hide");
  EXPECT_EQ(refused.status, Delivery::Status::Refused);
  EXPECT_EQ(refused.text, "the program is still starting");
  // A line too long for a command is refused without reaching the handler.
  EXPECT_EQ(send(std::string(100, 'x')).status, Delivery::Status::Refused);
  EXPECT_EQ(received_.back(), "hide");
}

TEST_F(ChannelTest, OneHolderAtATimeAndTheNextAfterIt) {
  auto first = serve();
  auto second = serve();
  std::string why;
  ASSERT_EQ(first->claim(why), InstanceServer::Claim::Claimed) << why;
  EXPECT_EQ(second->claim(why), InstanceServer::Claim::Taken);
  first.reset();
  EXPECT_EQ(send("show").status, Delivery::Status::NoInstance);
  EXPECT_EQ(second->claim(why), InstanceServer::Claim::Claimed) << why;
  EXPECT_EQ(send("show").status, Delivery::Status::Done);
}

TEST_F(ChannelTest, ASocketFileLeftBehindDoesNotKeepTheNextInstanceOut) {
  {
    QFile left(place_.socket);
    ASSERT_TRUE(left.open(QIODevice::WriteOnly));
  }
  EXPECT_EQ(send("show").status, Delivery::Status::NoInstance);
  auto server = serve();
  std::string why;
  ASSERT_EQ(server->claim(why), InstanceServer::Claim::Claimed) << why;
  EXPECT_EQ(send("quit").status, Delivery::Status::Done);
}

}  // namespace
}  // namespace tapwell::app
