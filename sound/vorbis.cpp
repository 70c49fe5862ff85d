#include "sound/vorbis.h"

#include <climits>
#include <cstdio>
#include <new>

// vorbisfile's ready-made callbacks use stdio; the channel reads through
// its multimedia file instead.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

// The rates and channel counts a channel plays.
constexpr long kMinRate = 8000;
constexpr long kMaxRate = 192000;
constexpr int kMaxChannels = 2;
constexpr WORD kBits = 16;
// Damaged pages (holes) passed over in one read before it gives up.
constexpr int kMaxHoles = 64;

struct SoundDecoder {
    OggVorbis_File File;
    WORD BlockAlign;
    bool bEnded; ///< the first stream has ended or broke: reads give nothing
};

namespace {

// vorbisfile reads through these, over the channel's multimedia file.
size_t ReadFile(void *to, size_t size, size_t count, void *source) {
    const size_t wanted = size * count;
    if (size == 0 || wanted / size != count || wanted > LONG_MAX) {
        return 0;
    }
    const LONG read =
        mmioRead(static_cast<HMMIO>(source), static_cast<HPSTR>(to), static_cast<LONG>(wanted));
    return read > 0 ? static_cast<size_t>(read) / size : 0;
}

int SeekFile(void *source, ogg_int64_t offset, int whence) {
    // mmioSeek's offsets are 32-bit and signed.
    if (offset > LONG_MAX || offset < LONG_MIN) {
        return -1;
    }
    const int origin = whence == SEEK_CUR ? SEEK_CUR : whence == SEEK_END ? SEEK_END : SEEK_SET;
    return mmioSeek(static_cast<HMMIO>(source), static_cast<LONG>(offset), origin) == -1 ? -1 : 0;
}

long TellFile(void *source) { return mmioSeek(static_cast<HMMIO>(source), 0, SEEK_CUR); }

} // namespace

SoundDecoder *OpenVorbis(HMMIO file, WAVEFORMATEX *format, ULONGLONG *frames) {
    if (!file || !format || !frames || mmioSeek(file, 0, SEEK_SET) != 0) {
        return nullptr;
    }
    SoundDecoder *decoder = new (std::nothrow) SoundDecoder();
    if (!decoder) {
        return nullptr;
    }
    // The file is the channel's: vorbisfile must not close it.
    const ov_callbacks callbacks = {ReadFile, SeekFile, nullptr, TellFile};
    if (ov_open_callbacks(file, &decoder->File, nullptr, 0, callbacks) != 0) {
        delete decoder; // a failed open leaves nothing to clear
        return nullptr;
    }
    const vorbis_info *info = ov_info(&decoder->File, 0);
    // NOTE: after opening a chained file vorbisfile names the last stream as
    // the current one until a seek sets it; the seek to the first sample
    // below does.
    const ogg_int64_t total = ov_pcm_total(&decoder->File, 0);
    if (!info || info->channels < 1 || info->channels > kMaxChannels || info->rate < kMinRate ||
        info->rate > kMaxRate || total <= 0 || !SeekVorbis(decoder, 0)) {
        CloseVorbis(decoder);
        return nullptr;
    }
    decoder->BlockAlign = static_cast<WORD>(info->channels * kBits / 8);
    *format = WAVEFORMATEX();
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nChannels = static_cast<WORD>(info->channels);
    format->nSamplesPerSec = static_cast<DWORD>(info->rate);
    format->wBitsPerSample = kBits;
    format->nBlockAlign = decoder->BlockAlign;
    format->nAvgBytesPerSec = format->nSamplesPerSec * format->nBlockAlign;
    *frames = static_cast<ULONGLONG>(total);
    return decoder;
}

DWORD ReadVorbis(SoundDecoder *decoder, void *region, DWORD bytes) {
    if (!decoder || decoder->bEnded) {
        return 0;
    }
    char *to = static_cast<char *>(region);
    DWORD done = 0;
    int holes = 0;
    while (bytes - done >= decoder->BlockAlign) {
        const DWORD left = bytes - done;
        const int wanted = left > INT_MAX ? INT_MAX : static_cast<int>(left);
        int link = 0;
        const long read = ov_read(&decoder->File, to + done, wanted, 0, 2, 1, &link);
        if (read == OV_HOLE && ++holes <= kMaxHoles) {
            continue; // a damaged or missing page: decoding goes on after it
        }
        // NOTE: ov_read never mixes two streams in one call, so samples of
        // a second stream are only ever a whole read, which is left unused.
        if (read <= 0 || link != 0) {
            decoder->bEnded = true;
            break;
        }
        done += static_cast<DWORD>(read);
    }
    return done;
}

bool SeekVorbis(SoundDecoder *decoder, ULONGLONG frame) {
    if (!decoder || frame > static_cast<ULONGLONG>(LLONG_MAX) ||
        ov_pcm_seek(&decoder->File, static_cast<ogg_int64_t>(frame)) != 0) {
        return false;
    }
    decoder->bEnded = false;
    return true;
}

void CloseVorbis(SoundDecoder *decoder) {
    if (decoder) {
        ov_clear(&decoder->File);
        delete decoder;
    }
}
