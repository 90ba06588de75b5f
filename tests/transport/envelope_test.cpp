#include "platform/envelope.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The frame request of the protocol document's worked example.
const unsigned char kFrameRequest[] = {0x4F, 0x43, 0x55, 0x4D, 0xD1, 0x07, 0x00, 0x00,
                                       0x01, 0xB4, 0xC8, 0x00, 0x00, 0x00, 0x00, 0x00};

TEST(Envelope, ReadsAndWritesTheDocumentedBytes) {
  Envelope envelope{};
  ASSERT_EQ(parseEnvelope(kFrameRequest, sizeof kFrameRequest, &envelope), EnvelopeStatus::OK);
  EXPECT_EQ(envelope.code, 2001u);
  EXPECT_EQ(envelope.sender, 13153281u);
  EXPECT_EQ(envelope.length, 0u);

  unsigned char written[kEnvelopeSize];
  writeEnvelope(Envelope{2001, 13153281, 0}, written);
  EXPECT_EQ(std::memcmp(written, kFrameRequest, kEnvelopeSize), 0);
  // Every byte of each field counts, the highest ones too.
  writeEnvelope(Envelope{0xA1B2C3D4, 0xFFFFFFFF, kMaxPayload}, written);
  ASSERT_EQ(parseEnvelope(written, sizeof written, &envelope), EnvelopeStatus::OK);
  EXPECT_EQ(envelope.code, 0xA1B2C3D4u);
  EXPECT_EQ(envelope.sender, 0xFFFFFFFFu);
  EXPECT_EQ(envelope.length, kMaxPayload);
}

TEST(Envelope, RefusesShortForeignAndOversizedEnvelopes) {
  Envelope envelope{7, 7, 7};
  EXPECT_EQ(parseEnvelope(kFrameRequest, kEnvelopeSize - 1, &envelope), EnvelopeStatus::SHORT);
  EXPECT_EQ(parseEnvelope(kFrameRequest, 0, &envelope), EnvelopeStatus::SHORT);

  unsigned char bytes[kEnvelopeSize + 4];
  std::memcpy(bytes, kFrameRequest, kEnvelopeSize);
  bytes[3] = 'm';
  EXPECT_EQ(parseEnvelope(bytes, sizeof bytes, &envelope), EnvelopeStatus::BAD_MAGIC);

  writeEnvelope(Envelope{1, 2, kMaxPayload + 1}, bytes);
  EXPECT_EQ(parseEnvelope(bytes, kEnvelopeSize, &envelope), EnvelopeStatus::TOO_LONG);
  writeEnvelope(Envelope{1, 2, 0xFFFFFFFF}, bytes);
  EXPECT_EQ(parseEnvelope(bytes, kEnvelopeSize, &envelope), EnvelopeStatus::TOO_LONG);
  // A refused envelope leaves the caller's record alone.
  EXPECT_EQ(envelope.code, 7u);
  EXPECT_EQ(envelope.length, 7u);
}

}  // namespace
