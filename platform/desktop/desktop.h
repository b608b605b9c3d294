/*
 * The desktop build on Allegro 4: a 640x480 window showing each frame doubled,
 * the keyboard as the handheld's button word, an Allegro audio stream.
 */
#ifndef ORVEL_PLATFORM_DESKTOP_DESKTOP_H
#define ORVEL_PLATFORM_DESKTOP_DESKTOP_H

struct AUDIOSTREAM;
extern AUDIOSTREAM* sndStream; /* the audio stream, null until snd_init succeeds */

/* 1 when Allegro is up. The first call starts it (as sys_init does) when
 * nobody has tried yet; once it has failed (no display) it stays 0 and every
 * Allegro-backed operation of this build fails cleanly instead. */
int desktop_ready(void);

/* 1 when Allegro is up, without trying to start it. */
int desktop_up(void);

#endif
