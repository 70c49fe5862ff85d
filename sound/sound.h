/// \file
/// Sound system: the DirectSound 8 device, a silent looping buffer that plays
/// for the device's whole life, SoundLock and the worker thread that keeps the
/// streaming channels (channel.h) fed every 500 ms.
///
/// InitSound starts it (the second subsystem of framework start-up);
/// ReleaseSound stops it from any state, even one InitSound never reached or
/// left half-way, and may run twice: it stops the worker first, then closes
/// every channel, deletes the lock and releases the buffer and the device.
/// SoundLock is the program's only lock; the worker holds it for each pass
/// over the channels, the main thread only around streaming-channel
/// operations. Nothing here is shown on screen: failures are only HRESULTs.
#pragma once

#include <windows.h>

#include <dsound.h>
#include <mmsystem.h>

#include "channel.h"

/// The sound system's state.
struct SoundRecord {
    DSCAPS SoundCaps;                    ///< the device's capabilities; zero while stopped
    CRITICAL_SECTION SoundLock;          ///< valid only while bSoundLockReady is set
    LPDIRECTSOUND8 lpDS;                 ///< non-null: the sound system is started
    LPDIRECTSOUNDBUFFER8 lpSilentBuffer; ///< plays silence for the device's whole life
    HANDLE hSoundThread;                 ///< the worker, or null
    DWORD SoundThreadId;                 ///< where ReleaseSound posts WM_QUIT
    BOOL bSoundLockReady;                ///< SoundLock is initialised and not yet deleted
    HANDLE hSoundThreadReady;            ///< set by the worker once its queue exists
    /// InitSound's CoInitialize succeeded (S_OK or S_FALSE) and ReleaseSound
    /// has not yet balanced it with CoUninitialize.
    BOOL bComInitialized;
    LONG MasterVolume;  ///< hundredths of a decibel added to every play; 0 at start
    LONG MasterChanged; ///< the worker has yet to apply MasterVolume
};

/// The one sound record.
extern SoundRecord sound;

/// Every channel exists for the whole run; they are only opened and closed.
extern SoundChannel SoundChannels[SOUND_CHANNEL_MAX];

/// 0 on success, E_FAIL if already started, else the failing call's code. A
/// failure after the cooperative level leaves device, lock and worker behind
/// for ReleaseSound.
HRESULT InitSound();
/// A three-second silent buffer in the given format, looping; InitSound's.
HRESULT CreateSilentBuffer(DWORD bits, DWORD channels, DWORD rate);
/// Copies `bytes` from `source` (or zero bytes when `copy` is clear) into the
/// buffer at `offset`, across the wrap when the range passes the buffer's end.
/// S_FALSE for a null buffer or source. `count`, if not null, receives the
/// bytes written.
HRESULT WriteSoundBuffer(LPDIRECTSOUNDBUFFER8 buffer, const void *source, BOOL copy, DWORD offset,
                         DWORD bytes, DWORD *count);
/// The worker: refills the channels every 500 ms until it takes WM_QUIT, which
/// ends its pause at once.
unsigned __stdcall SoundThreadProc(void *);
/// Always 0.
HRESULT ReleaseSound();

/// Sets the volume over every channel, in hundredths of a decibel added to
/// each play's (DSBVOLUME_MIN, silence, to 0, no change); the sound worker
/// applies it at once. E_INVALIDARG out of range; E_FAIL while the sound
/// system is stopped.
HRESULT SetSoundMasterVolume(LONG volume);

/// The preferred output rate in Hz, from the device's capabilities; 0 while
/// the sound system is stopped.
DWORD GetSoundSampleRate();
/// The preferred number of output channels (1 or 2); 1 while stopped.
DWORD GetSoundChannels();
/// The preferred bits per sample (8 or 16); 8 while stopped.
DWORD GetSoundBits();
