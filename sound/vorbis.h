/// \file
/// Ogg Vorbis decoding for the sound channels (the library's own; programs
/// use LoadSoundChannel and StreamSoundChannel). The decoder reads through
/// the channel's multimedia file handle and gives 16-bit PCM, interleaved
/// as in a wave file, of the file's first logical stream only: a chained
/// file (several streams one after another) ends with its first.
#pragma once

#include <windows.h>

#include <mmsystem.h>

struct SoundDecoder;

/// A decoder over `file` (read from its start) for mono or stereo Vorbis at
/// 8000 to 192000 Hz, with the PCM format of its samples and their count in
/// frames (from the stream's last page); null for anything else.
SoundDecoder *OpenVorbis(HMMIO file, WAVEFORMATEX *format, ULONGLONG *frames);
/// Decodes up to `bytes` (whole frames) into `region`; the bytes written,
/// 0 at the end of the first stream or at damage it cannot pass.
DWORD ReadVorbis(SoundDecoder *decoder, void *region, DWORD bytes);
/// Positions the decoder at `frame` of the first stream, to the sample;
/// false when the file cannot be positioned.
bool SeekVorbis(SoundDecoder *decoder, ULONGLONG frame);
/// Frees the decoder; null does nothing. The file stays open.
void CloseVorbis(SoundDecoder *decoder);
