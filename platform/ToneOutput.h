// A tone through the desktop's sound system: a short WAV made in memory and handed to the sound
// server's player (paplay, else aplay) on its standard input.
#pragma once

#include <QByteArray>

inline constexpr int KvToneSampleRate = 48000;
inline constexpr int KvToneMinFrequency = 37;      // the range a PC beeper accepts
inline constexpr int KvToneMaxFrequency = 20000;   // nothing above can be heard
inline constexpr int KvToneMaxMilliseconds = 10000;

// A mono 16-bit PCM WAV file of a sine tone with 5 ms fades (no clicks). Empty when the frequency
// or length are out of range; lengths above the maximum are cut to it.
QByteArray MakeToneWav(int frequency, int milliseconds);

// Starts playing the tone and returns at once. False when no player could be started (no player
// installed); a player without a sound device ends quietly by itself.
bool PlayTone(int frequency, int milliseconds);
