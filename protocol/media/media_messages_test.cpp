#include "protocol/media/media_messages.h"

#include <gtest/gtest.h>

#include "protocol/media/media_ticket.h"

namespace kiv_media {
namespace {

TEST(MediaMessages, EncodeDecodeEachMessage) {
  Ticket t{};
  for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<uint8_t>(i * 17);
  TicketMessage tm;
  ASSERT_TRUE(DecodeTicket(EncodeTicket({TicketToHex(t), 4000}), &tm));
  Ticket back{};
  ASSERT_TRUE(TicketFromHex(tm.ticket, &back));
  EXPECT_EQ(back, t);
  EXPECT_EQ(tm.port, 4000);

  PublishMessage pm;
  ASSERT_TRUE(DecodePublish(EncodePublish(kMediaPublishResult, {2, "1", 0xFFFFFFFF, 2}), kMediaPublishResult, &pm));
  EXPECT_EQ(pm.media_type, 2);
  EXPECT_EQ(pm.media_id, "1");
  EXPECT_EQ(pm.ssrc, 0xFFFFFFFFu);
  EXPECT_EQ(pm.result, 2);
  ASSERT_TRUE(DecodePublish(EncodePublish(kMediaUnpublish, {1, "appdef_mic", 0, 0}), kMediaUnpublish, &pm));
  EXPECT_EQ(pm.ssrc, 0u);

  SourceMessage sm;
  ASSERT_TRUE(DecodeSource(EncodeSource(kMediaSource, {"alice", 2, "1", 77}), kMediaSource, &sm));
  EXPECT_EQ(sm.user_id, "alice");
  EXPECT_EQ(sm.ssrc, 77u);
}

TEST(MediaMessages, RefusesMissingOrBadMembers) {
  PublishMessage pm;
  EXPECT_FALSE(DecodePublish(EncodePublish(kMediaPublish, {2, "1", 0, 0}), kMediaPublish, &pm)) << "SSRC 0";
  EXPECT_FALSE(DecodePublish(EncodePublish(kMediaPublish, {9, "1", 5, 0}), kMediaPublish, &pm)) << "type 9";
  EXPECT_FALSE(DecodePublish(EncodePublish(kMediaPublish, {2, "", 5, 0}), kMediaPublish, &pm)) << "empty id";
  EXPECT_FALSE(DecodePublish(EncodePublish(kMediaPublish, {2, std::string(300, 'x'), 5, 0}), kMediaPublish, &pm));
  SourceMessage sm;
  EXPECT_FALSE(DecodeSource(EncodePublish(kMediaPublish, {2, "1", 5, 0}), kMediaSubscribe, &sm)) << "no user";
  TicketMessage tm;
  EXPECT_FALSE(DecodeTicket(EncodeTicket({"abc", 4000}), &tm));
  EXPECT_FALSE(DecodeTicket(EncodeTicket({std::string(32, 'g'), 4000}), &tm));
  EXPECT_FALSE(DecodeTicket(EncodeTicket({std::string(32, 'a'), 0}), &tm));
}

TEST(MediaTicket, RegistrationDatagramRoundTripAndRefusals) {
  Registration r;
  r.kind = RegistrationKind::kAccepted;
  r.ticket[15] = 9;
  const std::vector<uint8_t> d = WriteRegistration(r);
  ASSERT_EQ(d.size(), kRegistrationSize);
  Registration back;
  ASSERT_TRUE(ParseRegistration(d.data(), d.size(), &back));
  EXPECT_EQ(back.kind, RegistrationKind::kAccepted);
  EXPECT_EQ(back.ticket, r.ticket);
  EXPECT_FALSE(ParseRegistration(d.data(), d.size() - 1, &back));
  std::vector<uint8_t> bad = d;
  bad[3] = 4;
  EXPECT_FALSE(ParseRegistration(bad.data(), bad.size(), &back));
  bad = d;
  bad[0] = 'X';
  EXPECT_FALSE(ParseRegistration(bad.data(), bad.size(), &back));
}

}  // namespace
}  // namespace kiv_media
