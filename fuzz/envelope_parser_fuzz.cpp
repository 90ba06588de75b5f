// Fuzz target for the wire-format envelope parser: any bytes a peer may send. Besides memory
// faults it checks that an accepted envelope honours the payload limit and writes back to the
// very bytes it was read from, and that a refused one was refused for a reason that holds.
#include <cstdlib>
#include <cstring>

#include "wire/envelope.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Envelope envelope;
  const EnvelopeStatus status = parseEnvelope(data, size, &envelope);
  switch (status) {
    case EnvelopeStatus::OK: {
      if (size < kEnvelopeSize || envelope.length > kMaxPayload) std::abort();
      unsigned char written[kEnvelopeSize];
      writeEnvelope(envelope, written);
      if (std::memcmp(written, data, kEnvelopeSize) != 0) std::abort();
      break;
    }
    case EnvelopeStatus::SHORT:
      if (size >= kEnvelopeSize) std::abort();
      break;
    case EnvelopeStatus::BAD_MAGIC:
      if (size < kEnvelopeSize || std::memcmp(data, "OCUM", 4) == 0) std::abort();
      break;
    case EnvelopeStatus::TOO_LONG:
      if (size < kEnvelopeSize || std::memcmp(data, "OCUM", 4) != 0) std::abort();
      break;
  }
  return 0;
}
