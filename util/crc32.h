/// \file
/// CRC-32: the standard reflected CRC-32 (IEEE 802.3, zlib, PNG) of a byte
/// range. The table is built on the first call; no lock guards that call, so
/// the first use must come from one thread (the texture cache's main thread).
#pragma once

#include <cstdint>

/// The checksum of `length` bytes at `data`; 0 for a length of 0 or less.
uint32_t Crc32(const void *data, int32_t length);

/// The lookup table, zero until the first Crc32 call has built it.
extern uint32_t crc32Table[256];
