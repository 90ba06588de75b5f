#include "wire/envelope.h"

namespace {

void putU32(unsigned char* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t getU32(const unsigned char* in) {
  return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
         static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

}  // namespace

EnvelopeStatus parseEnvelope(const unsigned char* bytes, size_t size, Envelope* envelope) {
  if (size < kEnvelopeSize) return EnvelopeStatus::SHORT;
  if (getU32(bytes) != kTransportMagic) return EnvelopeStatus::BAD_MAGIC;
  const uint32_t length = getU32(bytes + 12);
  if (length > kMaxPayload) return EnvelopeStatus::TOO_LONG;
  *envelope = {getU32(bytes + 4), getU32(bytes + 8), length};
  return EnvelopeStatus::OK;
}

void writeEnvelope(const Envelope& envelope, unsigned char* out) {
  putU32(out, kTransportMagic);
  putU32(out + 4, envelope.code);
  putU32(out + 8, envelope.sender);
  putU32(out + 12, envelope.length);
}
