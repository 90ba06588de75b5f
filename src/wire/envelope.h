// The 16-byte envelope that opens every message on the wire (docs/protocol.md): four
// little-endian 32-bit words, magic, code, sender handle and payload length. Pure code, so the
// parser can be tested and fuzzed without sockets.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kTransportMagic = 0x4D55434F;  // the bytes "OCUM"
constexpr size_t kEnvelopeSize = 16;
constexpr uint32_t kMaxPayload = 64u << 20;

struct Envelope {
  uint32_t code;
  uint32_t sender;
  uint32_t length;  // payload bytes that follow the envelope
};

enum class EnvelopeStatus {
  OK,
  SHORT,      // fewer than kEnvelopeSize bytes
  BAD_MAGIC,  // not one of ours
  TOO_LONG,   // a payload above kMaxPayload: refused before anything is allocated for it
};

// Reads the envelope from the first kEnvelopeSize of size bytes; *envelope is set only on OK.
EnvelopeStatus parseEnvelope(const unsigned char* bytes, size_t size, Envelope* envelope);

// Writes the envelope's kEnvelopeSize bytes, magic first.
void writeEnvelope(const Envelope& envelope, unsigned char* out);
