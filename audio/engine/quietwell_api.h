/* Exported C interface of the Quietwell audio engine. All functions are cdecl; boolean
   arguments are ints of which only the low byte is read. */
#ifndef QUIETWELL_API_H_
#define QUIETWELL_API_H_

#include <stdarg.h>

#ifdef __cplusplus
#include <cstdbool>
extern "C" {
#else
#include <stdbool.h>
#endif

#if defined(_WIN32) && !defined(QUIETWELL_STATIC)
#ifdef QUIETWELL_BUILD
#define QUIETWELL_API __declspec(dllexport)
#else
#define QUIETWELL_API __declspec(dllimport)
#endif
#else
#define QUIETWELL_API
#endif

#ifdef _WIN32
#define QUIETWELL_CALL __cdecl
#else
#define QUIETWELL_CALL
#endif

/* One processed frame: 960 mono 16-bit samples at 48000 Hz (bytes 1920, sampleRate 48000). */
typedef void(QUIETWELL_CALL* RealAudioCaptureCallback)(const short* pcm, int bytes, int sampleRate);
/* Far-end audio: buffer has room for 3840 bytes and is zeroed; *bytes is 1920 on entry and
   the number of bytes delivered on return; info points to an int holding 0. */
typedef void(QUIETWELL_CALL* RealAudioRenderCallback)(short* buffer, int* bytes, void* info);
typedef void(QUIETWELL_CALL* RealAudioLogCallback)(const char* format, va_list args);

QUIETWELL_API int QUIETWELL_CALL OpenRealAudioEngine(RealAudioCaptureCallback capture, RealAudioRenderCallback render);
QUIETWELL_API void QUIETWELL_CALL CloseRealAudioEngine(void);
QUIETWELL_API void QUIETWELL_CALL ResetRealAudioEngine(void);
QUIETWELL_API void QUIETWELL_CALL PauseRealAudioEngine(void);
QUIETWELL_API void QUIETWELL_CALL SetRealAudioConfig(int aec, int ans);
QUIETWELL_API void QUIETWELL_CALL RealAudioSetDumpFile(int enable, const char* folder);
QUIETWELL_API void QUIETWELL_CALL RealAudioSetAppPath(void);
QUIETWELL_API void QUIETWELL_CALL RealAudioSetStatusChangeCallback(void);
QUIETWELL_API int QUIETWELL_CALL RealAudioSetCaptureDevID(int index);
QUIETWELL_API int QUIETWELL_CALL RealAudioSetPlayoutDevID(int index);
QUIETWELL_API int QUIETWELL_CALL RealAudioGetCaptureDevsCount(void);
QUIETWELL_API int QUIETWELL_CALL RealAudioGetPlayoutDevsCount(void);
/* name must hold (length + 1) * 2 bytes of the device name. */
QUIETWELL_API int QUIETWELL_CALL RealAudioGetCaptureDevsName(int index, char* name);
QUIETWELL_API int QUIETWELL_CALL RealAudioGetPlayoutDevsName(int index, char* name);
QUIETWELL_API int QUIETWELL_CALL RealAudioGetCaptureVolume(void);
QUIETWELL_API int QUIETWELL_CALL RealAudioSetCaptureVolume(int volume);
QUIETWELL_API int QUIETWELL_CALL RealAudioGetPlayoutVolume(void);
QUIETWELL_API int QUIETWELL_CALL RealAudioSetPlayoutVolume(int volume);
QUIETWELL_API bool QUIETWELL_CALL RealAudioGetMicEnhance(void);
QUIETWELL_API void QUIETWELL_CALL RealAudioSetMicEnhance(int enable);
QUIETWELL_API int QUIETWELL_CALL RealAudioSetLogCallback(RealAudioLogCallback callback);
QUIETWELL_API int QUIETWELL_CALL RealAudioSetHeadsetEnhance(int enable);
QUIETWELL_API void QUIETWELL_CALL RealAudioSetMusicMode(int music);
QUIETWELL_API int QUIETWELL_CALL RealAudioSetMicVolumeControl(int enable);

#ifdef __cplusplus
}
#endif

#endif /* QUIETWELL_API_H_ */
